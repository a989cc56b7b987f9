#pragma once

#include "playback/ProgrammeDownload.h"

#include <QString>

// What the user reads of a download: in its menu item after the title (short, the menu is
// narrow) and in its context menu (whole sentences). Pure text work.
namespace download_text {

// Kept for a download that cannot go on because today's catalogue lacks its programme, so its
// stream's address is not known.
inline const QString kNotInCatalogue = QStringLiteral("not-in-catalogue");

// "850KB/s", "1.2MB/s", "12MB/s" (units of 1024).
QString speed(double bytesPerSecond);
// "6.4 MB" and the like, for sentences.
QString size(qint64 bytes);
// Whole per cents, never 100 before the last byte: "45%".
QString percent(qint64 bytes, qint64 length);

// The code a failure is kept under in the library file.
QString reasonCode(ProgrammeDownload::Failure failure);
// The few characters an item shows for a kept reason ("磁盘已满"); "失败" for an unknown one.
QString shortReason(const QString& code);
// The sentence for a failure, as its context menu shows it; the space figures only for NoSpace.
QString failureSentence(const QString& code, qint64 needed = 0, qint64 free = 0);

} // namespace download_text
