#pragma once

#include <QImage>
#include <QString>

class PlaybackController;

// A picture of what plays, saved as PNG into the user's pictures folder under the programme's
// title and the position: "新闻联播0112 00-12-34.png". It is the decoded picture, not a grab of
// the screen, so its size is the programme's whatever the window's.
namespace snapshot {

// The title as part of a file name: no separators, control characters or characters other
// systems refuse (a pictures folder on a memory stick), no leading dot, at most kMaxTitleBytes of
// UTF-8 so that the name stays within what a file system takes; "截图" when nothing is left.
inline constexpr int kMaxTitleBytes = 200;
QString safeTitle(const QString& title);
// "<safe title> hh-mm-ss.png"; the `copy`th name (from 2) ends in " (copy).png".
QString fileName(const QString& title, qint64 positionMs, int copy = 1);

// The picture at its own size and proportions: libVLC may hand it over stretched to the
// decoder's padded rows, and `aspect` (width / height) says how it is shown.
QImage picture(const QImage& decoded, double aspect);

// The user's pictures folder (xdg-user-dirs' XDG_PICTURES_DIR, else ~/Pictures).
QString picturesFolder();

struct Result {
    QString path; // the saved file; empty when nothing was saved
    QString text; // what the bar says
};
// Saves the picture `playback` shows now into `folder`, which is made when missing, never over
// an existing file.
Result save(PlaybackController& playback, const QString& folder);

} // namespace snapshot
