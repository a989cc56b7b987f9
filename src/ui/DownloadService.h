#pragma once

#include "playback/ProgrammeDownload.h"
#include "settings/DownloadList.h"

#include <QElapsedTimer>
#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

// Everything the viewer decides about keeping programmes: at most two downloads at once and the
// rest waiting in the order asked for, a stream that broke off taken up again after 1, 2 and 4 s
// (counted afresh whenever an attempt got further), the file's name (".part" until the whole
// programme is in it, then the name the list gives it), the list checked against the disk at
// start, cancelling and deleting. The list is the library's (it lives in library.json); this
// object says when it changed, and LibraryService writes it and shows it.
class DownloadService : public QObject {
    Q_OBJECT
  public:
    static constexpr int kMaxRunning = 2;
    static constexpr int kRetries = 3;
    static constexpr std::chrono::milliseconds kFirstRetryWait{1000};
    static constexpr std::chrono::milliseconds kRefreshInterval{500};

    // The stream address of a programme today's catalogue has; nullopt for one it lacks.
    using AddressOf = std::function<std::optional<QString>(const ProgrammeKey&)>;

    // Files go below `folder`; the list outlives this object.
    DownloadService(DownloadList& list, QString folder, AddressOf addressOf,
                    QObject* parent = nullptr);
    ~DownloadService() override;

    // Checks the list against the disk, after it was read: a kept programme whose file is gone
    // leaves the list. Then starts what waits. Whatever ran before stops first.
    void resume();
    // Asks for the programme to be kept; false when it cannot be (already in the list, the list
    // is full, no folder).
    bool add(const ProgrammeKey& key);
    // Stops the download if it runs, removes its part file and its entry.
    void cancel(const ProgrammeKey& key);
    // A failed download waits again, and goes on from where its file ends.
    void retry(const ProgrammeKey& key);
    // Removes the kept file of a finished download, and its entry.
    void remove(const ProgrammeKey& key);

    const DownloadList& list() const { return list_; }
    const QString& folder() const { return folder_; }
    // Where the entry's file lies once whole, and while it is not.
    QString filePath(const DownloadEntry& entry) const;
    QString partPath(const DownloadEntry& entry) const;
    bool isRunning(const ProgrammeKey& key) const;
    int runningCount() const { return int(running_.size()); }

    // What the menu item shows after the title: "45% 1.2MB/s" while it runs, "等待中" while
    // it waits, the reason's few characters when it failed, nothing once done.
    QString detail(const ProgrammeKey& key) const;
    // The whole state as a sentence, for the item's context menu.
    QString statusLine(const ProgrammeKey& key) const;

    // The waits before the attempts that follow a broken-off stream, for tests; each doubles.
    void setFirstRetryWait(std::chrono::milliseconds wait) { firstRetryWait_ = wait; }
    void setStallTimeout(std::chrono::milliseconds timeout) { stallTimeout_ = timeout; }

  Q_SIGNALS:
    // An entry came, went or changed its state: the list is to be written and shown anew.
    void listChanged();
    // What an entry's item shows changed, and nothing else.
    void progressChanged(const ProgrammeKey& key);
    // What happened, for the record of events: "download-started 新闻联播/title from=0".
    void happened(const QString& event);

  private:
    struct Running;
    void startWaiting();
    void begin(DownloadEntry& entry);
    void onFinished(Running& run);
    void onFailed(Running& run, ProgrammeDownload::Failure failure);
    void end(Running& run);
    void refresh();
    Running* runningFor(const ProgrammeKey& key) const;
    // The first copy number whose name no other entry uses and nothing on disk has.
    int freeCopy(const ProgrammeKey& key) const;
    qint64 owedBeside(const Running& run) const;
    void report(const QString& what, const ProgrammeKey& key, const QString& more = {});

    DownloadList& list_;
    const QString folder_;
    const AddressOf addressOf_;
    QNetworkAccessManager network_;
    std::deque<std::unique_ptr<Running>> running_;
    // Why a download failed in this run, in a sentence with its figures.
    QHash<QString, QString> sentences_;
    QTimer refresh_;
    QElapsedTimer clock_;
    std::chrono::milliseconds firstRetryWait_ = kFirstRetryWait;
    std::chrono::milliseconds stallTimeout_ = ProgrammeDownload::kDefaultStallTimeout;
};
