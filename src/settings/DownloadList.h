#pragma once

#include "settings/ProgrammeKey.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QString>
#include <vector>

// A programme the user asked to keep on disk, as the library file holds it.
struct DownloadEntry {
    enum class State {
        Queued, // waiting, or under way (which only the running viewer knows)
        Failed, // ended without the whole programme; `reason` says why
        Done,   // the whole programme is in its file
    };
    ProgrammeKey key;
    State state = State::Queued;
    QString reason;    // for Failed: a short code of the viewer's ("disk-full"); may be empty
    qint64 length = 0; // the whole file's length once known, else 0
    int copy = 1;      // which of the names the title gives the file has (see fileName)
};

// The programmes kept on disk, in the order they were asked for, and where each one's file lies
// below the downloads folder: "<category>/<title>.wmv", both made safe for a file name, the title
// with " (2)" and on when another programme's file had taken that name. Pure data with its
// limits; the decisions are DownloadService's.
class DownloadList {
  public:
    static constexpr int kMaxEntries = 100;
    static constexpr int kMaxCopy = 999;
    static constexpr qsizetype kMaxReasonLength = 32;
    // A file is called this until it holds the whole programme.
    static inline const QString kPartSuffix = QStringLiteral(".part");

    // Entries that are not well formed, or whose file another entry's already names, are
    // skipped; the list is cut to its limit.
    static DownloadList fromJson(const QJsonValue& value);
    QJsonArray toJson() const;

    const std::vector<DownloadEntry>& entries() const { return entries_; }
    // nullptr when the programme is not in the list.
    const DownloadEntry* find(const ProgrammeKey& key) const;
    DownloadEntry* find(const ProgrammeKey& key);
    // False when nothing changed: already there, the list is full, or the key is not keepable.
    bool add(const ProgrammeKey& key, int copy = 1);
    bool remove(const ProgrammeKey& key);
    bool isFull() const { return int(entries_.size()) >= kMaxEntries; }

    // The category's folder, made safe: no separator, no control character, not hidden, not
    // empty, and short enough for a file system's names.
    static QString folderName(const QString& category);
    // "<title>.wmv" for copy 1, "<title> (2).wmv" for 2 and on, made safe as above; the part
    // file's name (with kPartSuffix) fits a file system's names too.
    static QString fileName(const QString& title, int copy);
    // folderName / fileName of an entry.
    static QString relativePath(const DownloadEntry& entry);
    static QString relativePath(const ProgrammeKey& key, int copy);

  private:
    std::vector<DownloadEntry> entries_;
};
