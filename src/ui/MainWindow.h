#pragma once

#include "app/CatalogueRun.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

class CatalogueBridge;
class LoadingWindow;
class MediaPlayer;
class QAction;
class QLabel;
class QTimer;
class QWebEngineView;
class RollDownMenu;

// What the start-up needs from the outside world; tests replace parts of it.
struct StartupHooks {
    std::function<std::string(const std::string& url)> download;   // default: HttpGet
    std::function<std::thread(std::function<void()>)> startThread; // default: std::thread
    std::function<std::unique_ptr<RunClock>()> makeClock;          // default: LoadingClock
    QString programDirectory;                                      // default: the executable's
};

// The start window: the player, the roll-down catalogue, the advertisement overlay and the menus.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(StartupHooks hooks = {});
    ~MainWindow() override;

    // The window's creation event: loads the catalogue behind the modal loading window, then
    // disables 播放, 暂停 and 停止. False when the catalogue run could not even start.
    bool OnMainWindowCreated();

    void OnCatalogueItemSelected(int first, int second);
    void OnAdTimerTick();
    void PlaySelectedItem();
    void OnAdPressed();
    void OnAdWheel();

    QAction* menuAction(const QString& caption) const;
    // The countdown step; program-wide in the original design, owned here with the overlay.
    int countdownStep() const { return countdownStep_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildUnits();
    void buildMenus();
    void createAdView();
    void OnLoadingWindowCreated(LoadingWindow& loading);
    void reportIncompleteData();
    void traceReady() const;

    StartupHooks hooks_;
    MediaPlayer* player_ = nullptr;
    RollDownMenu* menu_ = nullptr;
    QWidget* adPanel_ = nullptr;
    QWebEngineView* adView_ = nullptr;
    QLabel* adText_ = nullptr;
    QLabel* adCountdown_ = nullptr;
    QTimer* adTimer_ = nullptr;
    int countdownStep_ = 0;
    QString adLink_; // nothing assigns it: a press on the advertisement opens nothing
    bool framePainted_ = false;

    bool loading_ = false;
    bool runStarted_ = false;
    CatalogueBridge* bridge_ = nullptr;
    std::unique_ptr<RunClock> clock_;
    std::unique_ptr<CatalogueRunContext> run_;
    std::thread runThread_;
};
