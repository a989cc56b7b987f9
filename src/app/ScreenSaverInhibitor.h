#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>

class PlaybackController;
class QDBusPendingCallWatcher;

// Keeps the screen on while a video plays: from the first picture of an opening for as long as it
// plays (through buffering and reconnecting), never for sound alone, nor for nothing. Asks the
// desktop's screen saver (org.freedesktop.ScreenSaver) or, where that is not there, the desktop
// portal (org.freedesktop.portal.Inhibit), and gives the inhibition back on pause, stop, end,
// failure and when destroyed. At most one inhibition is held or asked for at any time; one granted
// after it was no longer wanted is given back at once.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
  public:
    ScreenSaverInhibitor(PlaybackController& playback, QDBusConnection bus,
                         QObject* parent = nullptr);
    // Gives back what is held, waiting for an answer still to come so that it, too, is given back.
    ~ScreenSaverInhibitor() override;

    bool held() const { return via_ != Via::None; }

  private:
    enum class Via { None, ScreenSaver, Portal };

    void update();
    void ask(Via via);
    void answered(QDBusPendingCallWatcher* call, Via via);
    // `wait`: until the service has the message, for when the program is about to end.
    void release(bool wait);

    PlaybackController& playback_;
    QDBusConnection bus_;
    bool pictures_ = false; // this opening has shown a picture
    bool wanted_ = false;   // a video plays
    bool closing_ = false;
    QDBusPendingCallWatcher* pending_ = nullptr; // an Inhibit call on its way
    Via via_ = Via::None;
    uint cookie_ = 0;         // the screen saver's
    QDBusObjectPath request_; // the portal's
};
