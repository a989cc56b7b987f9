#pragma once

#include "playback/PlayerStatus.h"

#include <QWidget>

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
    // Draws the pictures anew in the palette's colours for what they show now.
    void paintIcons();

    PlaybackController& playback_;
    QSlider* seek_;
    QToolButton* playPause_;
    QToolButton* stop_;
    QLabel* time_;
    QLabel* status_;
    QToolButton* mute_;
    QSlider* volume_;
    QToolButton* fullScreen_;
    bool running_ = false;
    bool muted_ = false;
    bool fullScreenOn_ = false;
};
