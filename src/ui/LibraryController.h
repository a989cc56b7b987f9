#pragma once

#include "settings/ProgrammeLibrary.h"
#include "ui/RollDownMenuLayout.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <optional>

class MainWindow;

// Everything the user's library decides: the menu's 我的收藏 and 最近观看 groups, the context
// menu's favourites and start-over, which played programme counts as recently watched, where a
// programme left part-way resumes, and when the file is written (at every change, never on a
// timer).
class LibraryController : public QObject {
    Q_OBJECT
  public:
    static inline const QString kFavouritesGroup = QStringLiteral("我的收藏");
    static inline const QString kRecentGroup = QStringLiteral("最近观看");
    static constexpr int kNoticeMs = 3000;

    LibraryController(MainWindow& window, QString filePath, QObject* parent = nullptr);

    // Reads the file, once, after the catalogue is in, and shows the library's groups.
    void load();
    const ProgrammeLibrary& library() const { return library_; }
    const QString& filePath() const { return path_; }

    // The programme a menu item stands for; nullopt for one that cannot be chosen.
    std::optional<ProgrammeKey> keyOf(int item) const;
    void toggleFavourite(int item);
    // Chooses the item as a click would, to play from its start.
    void playFromStart(int item);
    // The programme that plays is left now: its position is kept or forgotten.
    void leave();

    // "从 mm:ss 继续播放".
    static QString resumeText(qint64 ms);

  Q_SIGNALS:
    // After each write of the file, with what it holds.
    void saved();
    // A resumed programme's first reported position (ms).
    void resumedAt(qint64 ms);

  private:
    void showGroups();
    void save();
    void showContextMenu(MenuRow row, const QPoint& globalPos);
    qint64 startPosition(int item);
    void onStarted(int item, qint64 fromMs);
    void onTimes(qint64 time, qint64 length);
    void onStatus();
    void onStartOver();

    MainWindow& window_;
    const QString path_;
    QJsonObject stored_; // the file as read, for the fields this version does not know
    ProgrammeLibrary library_;
    bool startOver_ = false; // the coming play starts at the beginning
    std::optional<ProgrammeKey> playing_;
    QString playingUrl_;
    qint64 time_ = 0;
    qint64 length_ = 0;
    bool awaitingResume_ = false;
};
