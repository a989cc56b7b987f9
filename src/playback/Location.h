#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What kind of place a location written to the player names. Pure text work, no I/O.
enum class LocationKind {
    LocalFile, // a path, or a file:// address
    Network,   // an address of a kind libVLC opens over the network
    Other,     // an address of any other scheme
};

LocationKind locationKind(const QString& location);

// The schemes of the addresses the player opens: file and those of LocationKind::Network.
QStringList playableSchemes();

// The local path a location names ("" for an address).
QString localPathOf(const QString& location);

// What to call what plays at `location` when nothing better names it: a file's name, an
// address's last path segment decoded, or the address itself.
QString displayNameOf(const QString& location);

// How the cause of a failed network open can be asked again, directly: connect to host:port
// and, for the addresses that go over HTTP (a Windows Media server's too), ask for the path.
struct ProbeTarget {
    QString host; // empty: the address cannot be asked again
    quint16 port = 0;
    bool http = false;
    QByteArray path; // escaped, with its query; "/" at least
};

ProbeTarget probeTargetFor(const QString& location);
