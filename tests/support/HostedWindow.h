#pragma once

#include "Processes.h"
#include "app/CatalogueRun.h"

#include <QTemporaryDir>
#include <memory>

class MainWindow;
class MediaPlayer;
class QObject;
class RollDownMenu;

// A loading clock already past every wait, so a catalogue loads as fast as the station answers.
class LateClock : public RunClock {
  public:
    std::int32_t elapsed() override { return 5000; }
    void sleepMs(std::int32_t) override {}
};

// The main window in the test process, its catalogue loaded from a real station, shown.
class HostedWindow {
  public:
    HostedWindow();
    ~HostedWindow();
    bool ready() const { return ready_; }
    StationProcess& station() { return *station_; }
    MainWindow& window() { return *window_; }
    RollDownMenu& menu() { return *menu_; }
    MediaPlayer& player() { return *player_; }
    // Chooses the item of the first group with the keyboard, as a user would.
    void choose(int item);

  private:
    std::unique_ptr<StationProcess> station_;
    QTemporaryDir dir_;
    std::unique_ptr<MainWindow> window_;
    RollDownMenu* menu_ = nullptr;
    MediaPlayer* player_ = nullptr;
    bool ready_ = false;
};

// main() of a test that hosts the viewer's windows: the viewer's process settings, a silent
// audio output, then the test.
int runHostedTest(QObject& test, int argc, char* argv[]);
