#pragma once

#include "playback/PlayerStatus.h"

#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

// The player's own controls. They only ask; what they show comes back from the engine.
class TransportBar : public QWidget {
    Q_OBJECT
  public:
    explicit TransportBar(QWidget* parent = nullptr);

    void showStatus(PlayerStatus status, const QString& text);
    void showTimes(qint64 time, qint64 length, bool seekable);
    void showVolume(int volume);
    void showMuted(bool muted);
    void showFullScreenState(bool on);

    static QString formatTime(qint64 ms);
    // "--:--" while the length is not known.
    static QString formatLength(qint64 ms);

  protected:
    void changeEvent(QEvent* event) override;

  Q_SIGNALS:
    void playPauseRequested();
    void stopRequested();
    void seekRequested(qint64 ms);
    void muteRequested(bool muted);
    void volumeRequested(int volume);
    void fullScreenRequested();

  private:
    QToolButton* addButton(const char* name, const QString& tip);
    // Draws the pictures anew in the palette's colours for what they show now.
    void paintIcons();

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
