#pragma once

#include "playback/EngineOptions.h"
#include "playback/PlayerStatus.h"

#include <QString>
#include <QWidget>
#include <chrono>
#include <memory>

class FullScreenControls;
class PlaybackController;
class PlayerActions;
class QVBoxLayout;
class TransportBar;
class VideoView;

// The embedded player (播放器1): the picture, scaled to fit with its aspect kept, above its own
// transport bar, showing a playback object and sending it the user's commands through the
// player's actions. Writing its URL opens and plays at once; the empty text stops and clears.
// Failures show as status text only.
class MediaPlayer : public QWidget {
    Q_OBJECT
  public:
    // Shows and drives `playback`, which outlives the widget. `timers` time full screen's controls
    // (empty: real timers).
    explicit MediaPlayer(PlaybackController& playback, QWidget* parent = nullptr,
                         const TimerFactory& timers = {});
    // A player of its own, with libVLC made from `options`.
    explicit MediaPlayer(EngineOptions options = {}, QWidget* parent = nullptr);
    ~MediaPlayer() override;

    PlaybackController& playback() const { return playback_; }
    PlayerActions& actions() const { return *actions_; }

    // The unit's URL: what the playback object plays.
    void setURL(const QString& location, qint64 startMs = 0);
    QString URL() const;

    // The playback object's state, as the unit's properties.
    using Status = PlayerStatus;
    Status status() const;
    PlayerError error() const;
    QString statusText() const;
    int volume() const;
    bool isMuted() const;
    qint64 time() const;   // ms
    qint64 length() const; // ms, 0 when unknown
    void seekTo(qint64 ms);
    void prepare();
    void showNotice(const QString& text, int ms);
    void setOpenTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds openTimeout() const;

    qint64 paintedFrames() const;
    // Of the area the picture is fitted into.
    QSize videoSize() const;
    bool fullScreen() const;
    void setFullScreen(bool on);

    // The player's keys, through its actions. False when the key is none of them, so that the
    // window can pass on keys that no other of its widgets uses.
    bool handleKey(QKeyEvent* event);

  Q_SIGNALS:
    void statusChanged(PlayerStatus);
    // As VideoView's: on X11 only the first picture of what plays, the rest are counted in
    // paintedFrames().
    void framePainted();
    // The position and length as the bar shows them (ms; length 0 while unknown).
    void timesChanged(qint64 time, qint64 length);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    MediaPlayer(std::unique_ptr<PlaybackController> own, QWidget* parent,
                const TimerFactory& timers);
    void build(const TimerFactory& timers);
    void showContextMenu(const QPoint& globalPos);

    std::unique_ptr<PlaybackController> own_; // when the player is its own
    PlaybackController& playback_;
    PlayerActions* actions_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
    QWidget* screen_ = nullptr; // video and bar; becomes its own window in full screen
    VideoView* video_ = nullptr;
    TransportBar* bar_ = nullptr;
    FullScreenControls* fullScreenControls_ = nullptr;
};
