#pragma once

#include "settings/ProgrammeLibrary.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <optional>

class PlaybackController;
class RollDownMenuModel;

// Everything the user's library decides: the menu's 我的收藏 and 最近观看 groups, what an item's
// context menu offers, which played programme counts as recently watched, where a programme left
// part-way resumes, and when the file is written (at every change, never on a timer). It watches
// the playback object and fills the menu's model; the window tells it of choices and starts and
// shows its context menu.
class LibraryService : public QObject {
    Q_OBJECT
  public:
    static inline const QString kFavouritesGroup = QStringLiteral("我的收藏");
    static inline const QString kRecentGroup = QStringLiteral("最近观看");
    static constexpr int kNoticeMs = 3000;

    LibraryService(RollDownMenuModel& menu, PlaybackController& playback, QString filePath,
                   QObject* parent = nullptr);

    // Reads the file, once, after the catalogue is in, and shows the library's groups.
    void load();
    const ProgrammeLibrary& library() const { return library_; }
    const QString& filePath() const { return path_; }

    // The programme a menu item stands for; nullopt for one that cannot be chosen.
    std::optional<ProgrammeKey> keyOf(int item) const;

    // What an item's context menu offers; nothing for an item it has nothing for.
    struct ItemMenu {
        bool favourite = false;        // 取消收藏 rather than 加入收藏
        bool canPlayFromStart = false; // 从头播放
    };
    std::optional<ItemMenu> menuFor(int item) const;
    void toggleFavourite(int item);

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
    // A stored favourite the item shows, even one today's catalogue lacks.
    std::optional<ProgrammeKey> favouriteShownAt(int item) const;

    RollDownMenuModel& menu_;
    PlaybackController& playback_;
    const QString path_;
    QJsonObject stored_; // the file as read, for the fields this version does not know
    ProgrammeLibrary library_;
    bool counting_ = false;  // a choice waits for its countdown to end
    bool startOver_ = false; // the coming play starts at the beginning
    std::optional<ProgrammeKey> playing_;
    QString playingUrl_;
    qint64 time_ = 0;
    qint64 length_ = 0;
    bool awaitingResume_ = false;
};
