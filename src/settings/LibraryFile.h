#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// The file of the user's favourites, recent programmes and positions: UTF-8 JSON beside index.ini.
//
// The viewer owns this file, so a bad one is no reason to bother the user: it is moved aside as
// "<name>.bad" for whoever wants to look, and the viewer starts with empty lists. Every write
// replaces the whole file through a temporary one, so a crash leaves the old or the new content,
// and what is written is always content `parse` takes: fields the viewer does not know are kept
// while they fit, and give way, the largest first, when they would take the file past its limit.
namespace library_file {

inline constexpr qint64 kMaxBytes = qint64(1) << 20;
inline const QString kFileName = QStringLiteral("library.json");

// The top-level object of well-formed content; nullopt for anything else (not JSON, not an
// object, over `limit` bytes, no numeric version).
std::optional<QJsonObject> parse(const QByteArray& bytes, qint64 limit = kMaxBytes);

struct Read {
    enum class Outcome { Read, Missing, SetAside };
    Outcome outcome = Outcome::Missing;
    QJsonObject root; // empty unless Read
};
// A bad file goes to "<name>.bad", replacing an earlier one there; when something else holds that
// name (a folder, say), to "<name>.bad.1" and on. Set aside fails only where the folder takes no
// change, and then no write can replace the file either.
Read read(const QString& path);

// `root` as compact JSON, whose size does not grow with the depth of a nested field.
QByteArray serialise(const QJsonObject& root);
// What is written for `root`, which holds the library's own fields (ProgrammeLibrary::toJson):
// all of it when `parse` takes that back, otherwise without the other fields, the largest given
// up first, until it does. nullopt when even the library's fields alone would not do.
std::optional<QByteArray> content(const QJsonObject& root, qint64 limit = kMaxBytes);
// Writes content(root). False, leaving the old file, when there is none or the folder cannot be
// written.
bool write(const QString& path, const QJsonObject& root);

} // namespace library_file
