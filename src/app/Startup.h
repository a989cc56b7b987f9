#pragma once

#include "app/CatalogueRun.h"
#include "app/Config.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

class CatalogueBridge;
class LibraryService;
class LoadingWindow;
class MainWindow;

// What the start-up needs from the outside world; tests replace parts of it.
struct StartupHooks {
    std::function<std::string(const std::string& url)> download;   // default: HttpGet
    std::function<std::thread(std::function<void()>)> startThread; // default: std::thread
    std::function<std::unique_ptr<RunClock>()> makeClock;          // default: LoadingClock
    QString programDirectory;                                      // default: the executable's
};

// Builds the program around its main window: the loading window, the program directory and the
// download folder, the catalogue run on its own thread with its bridge and clock, and the record
// of events. The windows only show and report; everything that joins them is here.
class Startup : public QObject {
    Q_OBJECT
  public:
    Startup(MainWindow& window, Config config, StartupHooks hooks = {});
    // Joins the run's thread.
    ~Startup() override;

    // The main window's creation event: loads the catalogue behind the modal loading window, then
    // disables 播放, 暂停 and 停止. False when the catalogue run could not even start.
    bool OnMainWindowCreated();

    // The directory that holds the program's files, no trailing separator; set when the loading
    // window is created.
    const QString& programDirectory() const { return programDirectory_; }
    // The user's favourites, recent programmes and positions; made once the catalogue is in.
    LibraryService* library() const { return library_; }

  private:
    void OnLoadingWindowCreated(LoadingWindow& loading);
    void reportIncompleteData();
    void traceWindow();
    void traceReady() const;
    void startLibrary();

    MainWindow& window_;
    const Config config_;
    StartupHooks hooks_;
    QString programDirectory_;
    bool runStarted_ = false;
    CatalogueBridge* bridge_ = nullptr;
    LibraryService* library_ = nullptr;
    std::unique_ptr<RunClock> clock_;
    std::unique_ptr<CatalogueRunContext> run_;
    std::thread runThread_;
};

// 启动计时时钟's tick: LoadingElapsed goes on by 100 ms.
void OnLoadingTimerTick();
// Lets the loading window's timer keep LoadingElapsed.
void bindLoadingClock(LoadingWindow& loading);
