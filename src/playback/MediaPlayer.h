#pragma once

#include "playback/EngineOptions.h"
#include "playback/PlayerStatus.h"

#include <QString>
#include <QWidget>
#include <chrono>

class FullScreenControls;
class QTimer;
class QVBoxLayout;
class TransportBar;
class VideoView;
class VlcEngine;

// The embedded player (播放器1). Writing its URL opens and plays at once; the empty text stops and
// clears. Video is painted by the widget itself, scaled to fit with its aspect kept, above its own
// transport bar. Failures show as status text only.
class MediaPlayer : public QWidget {
    Q_OBJECT
  public:
    explicit MediaPlayer(EngineOptions options = {}, QWidget* parent = nullptr);
    ~MediaPlayer() override;

    // The longest address the player takes. A longer one is refused with a status text: cut
    // short, it would be another address.
    static constexpr qsizetype kMaxUrlLength = 32767;

    void setURL(const QString& location);
    // As setURL, starting `startMs` into the medium.
    void setURL(const QString& location, qint64 startMs);
    // Shows `text` in place of the status for `ms`, or until another address is written.
    void showNotice(const QString& text, int ms);
    void seekTo(qint64 ms);
    QString URL() const;
    // An address is about to be written: loads the engine meanwhile so that playing starts at once.
    void prepare();

    using Status = PlayerStatus;
    Status status() const;
    PlayerError error() const;  // why it cannot play, in CannotPlay
    QString statusText() const; // the text shown in the bar
    qint64 paintedFrames() const;
    // Of the area the picture is fitted into.
    QSize videoSize() const;

    // What the transport bar, the keys and the context menu act on.
    int volume() const;
    bool isMuted() const;
    qint64 time() const;   // ms
    qint64 length() const; // ms, 0 when unknown
    bool fullScreen() const;
    void setFullScreen(bool on);

    void setOpenTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds openTimeout() const;

    // The player's keys: Space, Enter (tries a failed address again), F, Esc, M, the arrows and
    // the media keys. False when the key is none of them, so that the window can pass on keys
    // that no other of its widgets uses.
    bool handleKey(QKeyEvent* event);

  Q_SIGNALS:
    void statusChanged(PlayerStatus);
    void framePainted();
    // The position and length as the bar shows them (ms; length 0 while unknown).
    void timesChanged(qint64 time, qint64 length);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showContextMenu(const QPoint& globalPos);
    void showStatus();

    VlcEngine* engine_;
    QVBoxLayout* layout_;
    QWidget* screen_; // video and bar; becomes its own window in full screen
    VideoView* video_;
    TransportBar* bar_;
    QString refusal_; // why the last address was not played; empty when it was
    QString notice_;  // shown instead of the status while noticeTimer_ runs
    QTimer* noticeTimer_;
    FullScreenControls* fullScreenControls_;
};
