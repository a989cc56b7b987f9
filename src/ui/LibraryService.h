#pragma once

#include "catalogue/Gbk.h"
#include "settings/ProgrammeLibrary.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class DownloadService;
class PlaybackController;
class RollDownMenuModel;

// Everything the user's library decides: the menu's 我的收藏, 最近观看, 下载中 and 已下载 groups,
// what an item's context menu offers, which played programme counts as recently watched, where a
// programme left part-way resumes (one place per programme, whether it plays from the station or
// from its kept file), and when the file is written (at every change, never on a timer). It
// watches the playback object and fills the menu's model; the window tells it of choices and
// starts and shows its context menu. The downloads themselves are DownloadService's.
class LibraryService : public QObject {
    Q_OBJECT
  public:
    static inline const QString kFavouritesGroup = QStringLiteral("我的收藏");
    static inline const QString kRecentGroup = QStringLiteral("最近观看");
    static inline const QString kDownloadingGroup = QStringLiteral("下载中");
    static inline const QString kDownloadedGroup = QStringLiteral("已下载");
    static constexpr int kNoticeMs = 3000;

    LibraryService(RollDownMenuModel& menu, PlaybackController& playback, QString filePath,
                   QObject* parent = nullptr);

    // Lets programmes be kept below `folder`; a programme's stream address comes from its title as
    // the menu decoded it. Before load().
    void enableDownloads(const QString& folder,
                         std::function<QString(const GbkDecoded&)> streamAddress);
    DownloadService* downloads() const { return downloads_; }

    // Reads the file, once, after the catalogue is in, and shows the library's groups; downloads
    // waiting from the last run go on.
    void load();
    const ProgrammeLibrary& library() const { return library_; }
    const QString& filePath() const { return path_; }

    // The programme a menu item stands for in today's catalogue; nullopt for one that is not
    // there.
    std::optional<ProgrammeKey> keyOf(int item) const;
    // The programme a menu item stands for, in the catalogue or only in the library.
    std::optional<ProgrammeKey> programmeAt(int item) const;

    // What an item's context menu offers; nothing for an item it has nothing for.
    struct ItemMenu {
        bool favourite = false;        // 取消收藏 rather than 加入收藏
        bool canPlayFromStart = false; // 从头播放
        bool canDownload = false;      // 下载
        // Once in the downloads: its state, and the state as a sentence.
        std::optional<DownloadEntry::State> download;
        QString downloadStatus;
    };
    std::optional<ItemMenu> menuFor(int item) const;
    void toggleFavourite(int item);

    // An item's downloads: 下载, 取消下载, 重试, and 删除 for a finished one.
    void download(int item);
    void cancelDownload(int item);
    void retryDownload(int item);
    void deleteDownload(int item);
    // The file a 已下载 item plays, at once and without the advertisement.
    std::optional<QString> keptFile(int item) const;
    // The coming play of the item starts at the beginning.
    void forgetPosition(int item);

    // The window's events, in the order they happen: an item was chosen (the advertisement's
    // countdown runs), the position it starts from is asked for when the countdown ends, and it
    // was handed to the player.
    void chosen();
    qint64 startPosition(int item);
    void started(int item, qint64 fromMs);
    // Home or 从头播放: during a countdown the coming play starts at the beginning; while a
    // programme plays, it goes back there.
    void startOver();
    // The programme that plays is left now: its position is kept or forgotten.
    void leave();

  Q_SIGNALS:
    // After each write of the file, with what it holds.
    void saved();
    // A resumed programme's first reported position (ms).
    void resumedAt(qint64 ms);

  private:
    void showGroups();
    void save();
    void onTimes(qint64 time, qint64 length);
    void onStatus();
    void onDownloadProgress(const ProgrammeKey& key);
    // The station item of a programme in today's catalogue, -1 when it lacks it.
    int stationItemOf(const ProgrammeKey& key) const;

    RollDownMenuModel& menu_;
    PlaybackController& playback_;
    const QString path_;
    QJsonObject stored_; // the file as read, for the fields this version does not know
    ProgrammeLibrary library_;
    DownloadService* downloads_ = nullptr;
    std::function<QString(const GbkDecoded&)> streamAddress_;
    // What the library groups without a station item of their own show, position by position.
    std::vector<ProgrammeKey> downloadingShown_;
    std::vector<ProgrammeKey> downloadedShown_;
    bool counting_ = false;  // a choice waits for its countdown to end
    bool startOver_ = false; // the coming play starts at the beginning
    std::optional<ProgrammeKey> playing_;
    QString playingUrl_;
    qint64 time_ = 0;
    qint64 length_ = 0;
    bool awaitingResume_ = false;
};
