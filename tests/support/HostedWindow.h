#pragma once

#include "Processes.h"
#include "app/CatalogueRun.h"
#include "app/Config.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

class MainWindow;
class MediaPlayer;
class PlaybackController;
class QObject;
class RollDownMenu;
class Startup;

// A loading clock already past every wait, so a catalogue loads as fast as the station answers.
class LateClock : public RunClock {
  public:
    std::int32_t elapsed() override { return 5000; }
    void sleepMs(std::int32_t) override {}
};

// The program's configuration against a station at `address` (host:port), with a silent audio
// output and no record of events.
Config stationConfig(const QString& address);

// The main window in the test process, built by the real start-up, its catalogue loaded from a
// real station, shown.
class HostedWindow {
  public:
    // The station takes `stationArguments`; `adjust` may change the configuration first.
    explicit HostedWindow(const QStringList& stationArguments = {},
                          const std::function<void(Config&)>& adjust = {});
    ~HostedWindow();
    bool ready() const { return ready_; }
    StationProcess& station() { return *station_; }
    MainWindow& window() { return *window_; }
    RollDownMenu& menu() { return *menu_; }
    MediaPlayer& player() { return *player_; }
    Startup& startup() { return *startup_; }
    const QString& programDirectory() const;
    // Chooses the item of the first group with the keyboard, as a user would.
    void choose(int item);
    // One tick of the countdown's timer 时钟1, delivered through its own timeout signal while the
    // timer itself is stopped: the test, not the clock, says when a second has passed. The
    // countdown's clock moves on by that second.
    void tick();
    // Time passes on the countdown's clock without a tick, as when the window's thread is held.
    void hold(qint64 ms) { countdownMs_ += ms; }

  private:
    std::unique_ptr<StationProcess> station_;
    QTemporaryDir dir_;
    std::unique_ptr<PlaybackController> playback_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Startup> startup_;
    RollDownMenu* menu_ = nullptr;
    MediaPlayer* player_ = nullptr;
    bool ready_ = false;
    qint64 countdownMs_ = 0;
};

// main() of a test that hosts the viewer's windows: the viewer's process settings, then the test.
int runHostedTest(QObject& test, int argc, char* argv[]);

class QWidget;
// Saves what `widget` shows as `name`.png in $VELMORA_SHOTS_DIR, when that is set: the pictures
// the documentation shows come from the tests that check them.
void saveShot(QWidget& widget, const QString& name);
