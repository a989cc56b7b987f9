#pragma once

#include "playback/OneShotTimer.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QWidget;

// What full screen does with the controls: the transport bar and the mouse cursor go after a
// while without a mouse movement or a key and come back on either; while they are gone, each
// change of the status shows briefly over the picture. The bar stays while the keyboard is on one
// of its controls.
class FullScreenControls : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds IdleTime{2500};
    static constexpr std::chrono::milliseconds StatusTime{2500};

    // `screen` holds the video and the bar and is the window in full screen.
    FullScreenControls(QWidget* screen, QWidget* bar, const TimerFactory& timers,
                       QObject* parent = nullptr);

    void setFullScreen(bool on);
    // The user moved the mouse or pressed a key.
    void wake();
    // The status changed to `text`.
    void showStatus(const QString& text);

    bool controlsHidden() const { return hidden_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void hideControls();
    void showControls();

    QWidget* screen_;
    QWidget* bar_;
    QLabel* status_; // over the picture, while the bar is gone
    OneShotTimer* idle_;
    OneShotTimer* statusShown_;
    QList<QPointer<QWidget>> tracking_; // made to track the mouse for full screen
    bool fullScreen_ = false;
    bool hidden_ = false;
};
