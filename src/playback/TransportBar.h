#pragma once

#include "playback/PlayerStatus.h"
#include "playback/StatusAnnouncer.h"
#include "playback/TransportIcons.h"

#include <QIcon>
#include <QWidget>
#include <array>

class PlaybackController;
class PlayerActions;
class QAction;
class QLabel;
class QToolButton;
class StatusLabel;
class TransportSlider;

// The player's own controls. Its buttons trigger the player's actions and its sliders ask the
// playback object; what they show comes back from there. Tab goes through them in the order a
// listener expects (play/pause, stop, seek, volume, mute, full screen), and the status text tells
// a screen reader of each new state and notice.
class TransportBar : public QWidget {
    Q_OBJECT
  public:
    TransportBar(PlaybackController& playback, PlayerActions& actions, QWidget* parent = nullptr);

    void showFullScreenState(bool on);

    static QString formatTime(qint64 ms);
    // "--:--" while the length is not known.
    static QString formatLength(qint64 ms);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // A button that triggers `action` and is named as it is.
    QToolButton* addButton(const char* name, QAction* action);
    void showStatus(PlayerStatus status);
    void showStatusText(const QString& text);
    void showTimes(qint64 time, qint64 length);
    void showVolume(int volume);
    void showMuted(bool muted);
    // Draws every picture anew in the palette's colours.
    void drawIcons();
    // Gives each button the picture for what it shows now, where that changed.
    void showIcons();

    PlaybackController& playback_;
    TransportSlider* seek_ = nullptr;
    QToolButton* playPause_ = nullptr;
    QToolButton* stop_ = nullptr;
    QLabel* time_ = nullptr;
    StatusLabel* status_ = nullptr;
    QToolButton* mute_ = nullptr;
    TransportSlider* volume_ = nullptr;
    QToolButton* fullScreen_ = nullptr;
    StatusAnnouncer announcer_;
    bool running_ = false;
    bool muted_ = false;
    bool fullScreenOn_ = false;
    // Drawn once a palette. The status changes many times a second while a stream buffers; a
    // fresh icon each time left its pixmaps in Qt's pixmap cache under keys never asked for
    // again, and the viewer's heap grew with every programme.
    std::array<QIcon, kTransportIconCount> icons_;
};
