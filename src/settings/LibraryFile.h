#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// The file of the user's favourites, recent programmes and positions: UTF-8 JSON beside index.ini.
//
// The viewer owns this file, so a bad one is no reason to bother the user: it is moved aside as
// "<name>.bad" for whoever wants to look, and the viewer starts with empty lists. Every write
// replaces the whole file through a temporary one, so a crash leaves the old or the new content.
namespace library_file {

inline constexpr qint64 kMaxBytes = qint64(1) << 20;
inline const QString kFileName = QStringLiteral("library.json");

// The top-level object of well-formed content; nullopt for anything else (not JSON, not an
// object, too large, no numeric version).
std::optional<QJsonObject> parse(const QByteArray& bytes);

struct Read {
    enum class Outcome { Read, Missing, SetAside };
    Outcome outcome = Outcome::Missing;
    QJsonObject root; // empty unless Read
};
// A bad file goes to "<name>.bad", replacing an earlier one there; when something else holds that
// name (a folder, say), to "<name>.bad.1" and on. Set aside fails only where the folder takes no
// change, and then no write can replace the file either.
Read read(const QString& path);

// The bytes written for `root`.
QByteArray serialise(const QJsonObject& root);
// False, leaving the old file, when the folder cannot be written.
bool write(const QString& path, const QJsonObject& root);

} // namespace library_file
