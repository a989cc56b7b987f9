#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QRect>
#include <QString>
#include <optional>

// What the viewer remembers of itself between starts: the sound and the main window's place.
// They live in settings.json beside library.json, compact UTF-8 JSON with a version:
//
//   {"version":1,"volume":60,"muted":false,
//    "window":{"x":120,"y":80,"width":900,"height":600,"maximised":false}}
//
// The file is the viewer's own and small, so a bad one costs nothing but the values: whatever
// cannot be read (not JSON, over the limit, not a regular file) reads as the defaults, and a field
// of the wrong kind or out of its range as its own default; the next save replaces the file.
struct ViewerSettings {
    static constexpr int kFormatVersion = 1;
    static constexpr int kDefaultVolume = 50;
    static constexpr qint64 kMaxBytes = 64 * 1024;
    // X11 keeps coordinates in 16 bits; anything past them is no window's place.
    static constexpr int kMaxCoordinate = 32767;
    static inline const QString kFileName = QStringLiteral("settings.json");

    struct Window {
        QRect normal;           // the window's own area, frame excluded, when not maximised
        bool maximised = false; // shown maximised over `normal`
        bool operator==(const Window&) const = default;
    };

    int volume = kDefaultVolume; // 0..100
    bool muted = false;
    // None before the first quit: the window then starts at its declared size where the desktop
    // puts it.
    std::optional<Window> window;

    bool operator==(const ViewerSettings&) const = default;

    // The settings in `root`, each field on its own.
    static ViewerSettings fromJson(const QJsonObject& root);
    // The settings over `base`, whose other fields (a newer version's) stay while they fit.
    QJsonObject toJson(const QJsonObject& base = {}) const;

    // The top-level object of the file's bytes; nullopt for anything but an object with a numeric
    // version within the limit.
    static std::optional<QJsonObject> parse(const QByteArray& bytes);
    // The file's top-level object: empty when it is missing or unreadable as above. It never
    // blocks: a FIFO or device in its place reads as unreadable.
    static QJsonObject readFile(const QString& path);
    // Replaces the file whole through a temporary one, over `base` as toJson; the other fields
    // are given up when they would take it past the limit. False, leaving the old file, when the
    // folder cannot be written.
    bool writeFile(const QString& path, const QJsonObject& base = {}) const;
};
