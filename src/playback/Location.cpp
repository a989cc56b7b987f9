#include "playback/Location.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <array>
#include <utility>

namespace {

struct Scheme {
    const char* name;
    quint16 port; // the default one; 0: nothing to connect to (datagrams)
    bool http;
};

// The schemes of libVLC's network access modules. Windows Media's mms:// falls back to MMS over
// HTTP on port 80 when its own protocol is refused, so HTTP is what tells its cause.
constexpr std::array<Scheme, 15> kNetworkSchemes{{
    {"http", 80, true},
    {"mms", 80, true},
    {"mmsh", 80, true},
    {"mmst", 80, true},
    {"mmsu", 80, true},
    {"https", 443, false},
    {"rtsp", 554, false},
    {"rtmp", 1935, false},
    {"ftp", 21, false},
    {"ftps", 990, false},
    {"sftp", 22, false},
    {"smb", 445, false},
    {"udp", 0, false},
    {"rtp", 0, false},
    {"srt", 0, false},
}};

QString schemeOf(const QString& location) {
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://"));
    const QRegularExpressionMatch match = scheme.match(location);
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

const Scheme* networkScheme(const QString& name) {
    for (const Scheme& scheme : kNetworkSchemes) {
        if (name == QLatin1String(scheme.name))
            return &scheme;
    }
    return nullptr;
}

} // namespace

LocationKind locationKind(const QString& location) {
    const QString scheme = schemeOf(location);
    if (scheme.isEmpty() || scheme == QLatin1String("file"))
        return LocationKind::LocalFile;
    return networkScheme(scheme) ? LocationKind::Network : LocationKind::Other;
}

QStringList playableSchemes() {
    QStringList schemes{QStringLiteral("file")};
    for (const Scheme& scheme : kNetworkSchemes)
        schemes << QLatin1String(scheme.name);
    return schemes;
}

QString localPathOf(const QString& location) {
    const QString scheme = schemeOf(location);
    if (scheme.isEmpty())
        return location;
    if (scheme == QLatin1String("file"))
        return QUrl(location, QUrl::TolerantMode).toLocalFile();
    return QString();
}

QString displayNameOf(const QString& location) {
    if (locationKind(location) == LocationKind::LocalFile)
        return QFileInfo(localPathOf(location)).fileName();
    const QString name = QUrl(location, QUrl::TolerantMode).fileName(QUrl::FullyDecoded);
    return name.isEmpty() ? location : name;
}

ProbeTarget probeTargetFor(const QString& location) {
    const Scheme* scheme = networkScheme(schemeOf(location));
    if (!scheme || scheme->port == 0)
        return {};
    const QUrl url(location, QUrl::TolerantMode);
    const quint16 port = quint16(url.port(scheme->port));
    if (!url.isValid() || url.host().isEmpty() || port == 0)
        return {};
    QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
    if (path.isEmpty())
        path = "/";
    if (url.hasQuery())
        path += '?' + url.query(QUrl::FullyEncoded).toUtf8();
    return {url.host(), port, scheme->http, path};
}
