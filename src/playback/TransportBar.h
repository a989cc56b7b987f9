#pragma once

#include "playback/PlayerStatus.h"
#include "playback/TransportIcons.h"

#include <QIcon>
#include <QWidget>
#include <array>

class PlaybackController;
class PlayerActions;
class QAction;
class QLabel;
class QSlider;
class QToolButton;

// The player's own controls. Its buttons trigger the player's actions and its sliders ask the
// playback object; what they show comes back from there.
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
    void showStatus();
    void showTimes(qint64 time, qint64 length);
    void showVolume(int volume);
    void showMuted(bool muted);
    // Draws every picture anew in the palette's colours.
    void drawIcons();
    // Gives each button the picture for what it shows now, where that changed.
    void showIcons();

    PlaybackController& playback_;
    QSlider* seek_ = nullptr;
    QToolButton* playPause_ = nullptr;
    QToolButton* stop_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* status_ = nullptr;
    QToolButton* mute_ = nullptr;
    QSlider* volume_ = nullptr;
    QToolButton* fullScreen_ = nullptr;
    bool running_ = false;
    bool muted_ = false;
    bool fullScreenOn_ = false;
    // Drawn once a palette. The status changes many times a second while a stream buffers; a
    // fresh icon each time left its pixmaps in Qt's pixmap cache under keys never asked for
    // again, and the viewer's heap grew with every programme.
    std::array<QIcon, kTransportIconCount> icons_;
};
