#pragma once

#include "catalogue/TvStation.h"
#include "ui/AdCountdown.h"
#include "ui/MainWindowLayout.h"
#include "ui/RollDownMenuLayout.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class LibraryService;
class MediaPlayer;
class PlaybackController;
class QAction;
class QLabel;
class QTimer;
class QWebEngineView;
class RollDownMenu;
class RollDownMenuFind;

// What the main window takes from the start-up; fixed for its life.
struct MainWindowConfig {
    TvStation station; // the streams' host and the advertisement page
};

// The start window: the player, the roll-down catalogue, the advertisement overlay and the menus,
// with their event table. It shows and reports; the start-up and the catalogue run fill it.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // Shows and drives `playback`, which outlives the window.
    MainWindow(MainWindowConfig config, PlaybackController& playback);
    ~MainWindow() override;

    // Where the program's files are, and the features text the help menu shows; the start-up
    // sets them before the menus can be used.
    void setProgramFiles(const QString& directory, const QString& featuresText) {
        programDirectory_ = directory;
        featuresText_ = featuresText;
    }
    const QString& programDirectory() const { return programDirectory_; }
    // While loading the window cannot be closed: the run is still filling it.
    void setLoading(bool loading) { loading_ = loading; }
    // Makes the advertisement view. Only once loading is over, so that the web engine never holds
    // up the loading window's clock.
    void createAdView();

    // Plays a file or address that comes from outside the window (the command line, a later
    // start, a drop), as 打开 plays a chosen file.
    void openLocation(const QString& location);
    // Shows the window in front, restored if it was minimised: another start or the desktop's
    // media controls asked for it.
    void bringToFront();

    // 播放, 暂停 and 停止 of the file menu, in that order. They have no handler of their own; the
    // start-up greys them.
    const std::array<QAction*, 3>& transportMenuActions() const { return transportActions_; }
    // The menu bar's item with this caption ("打开(&O)"), or nullptr.
    QAction* menuAction(const QString& caption) const;
    // The menu items that neither do something nor are handed out; a test keeps this empty.
    const QStringList& idleMenuItems() const { return idleMenuItems_; }
    RollDownMenu& rollDownMenu() const { return *menu_; }
    RollDownMenuFind& find() const { return *find_; }
    // The user's library, once the catalogue is in: it hears of choices and plays, and items
    // offer its context menu.
    void setLibrary(LibraryService* library) { library_ = library; }
    MediaPlayer& player() const { return *player_; }
    PlaybackController& playback() const { return playback_; }
    const AdCountdown& countdown() const { return countdown_; }
    // The monotonic clock the countdown reads, in ms; tests replace it to say when time passes.
    void setCountdownClock(std::function<qint64()> nowMs) { countdownClock_ = std::move(nowMs); }

  Q_SIGNALS:
    // The events the window reports, in the order they happen.
    void programmeSelected(const QString& title);
    void programmePlayed(const QString& url);
    void firstFramePainted(); // of what PlaySelectedItem handed over
    void adPressed();
    void adWheelTurned();
    // What the advertisement page and the dialogs did, as event lines.
    void reported(const QString& event);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildUnits();
    void buildMenus();

    // 卷帘式菜单1, 时钟1 and 广告1.
    void OnCatalogueItemSelected();
    void OnAdTimerTick();
    void PlaySelectedItem();
    void OnAdPressed();
    void OnAdWheel();

    // The menu bar.
    void OnOpenFileMenu();
    void OnOpenUrlMenu();
    void OnExitMenu();
    void OnSettingsMenu();
    void OnHelpMenu();
    void OnFeedbackMenu();
    void OnCheckUpdateMenu();
    void OnFeaturesMenu();
    void OnAboutMenu();

    // The window around its player (MainWindowPlayer.cpp): places that follow the window's size,
    // the player's keys from anywhere in the window, the keyboard for what starts playing.
    void letWindowGrow();
    void placeUnits();
    void playInPlayer(const QString& location, qint64 fromMs = 0, const QString& title = {});
    // An item's context menu (MainWindowLibrary.cpp).
    void showItemMenu(MenuRow row, const QPoint& globalPos);

    const MainWindowConfig config_;
    PlaybackController& playback_;
    LibraryService* library_ = nullptr;
    QString programDirectory_;
    QString featuresText_;
    std::array<QAction*, 3> transportActions_{};
    QStringList idleMenuItems_;
    MediaPlayer* player_ = nullptr;
    RollDownMenu* menu_ = nullptr;
    RollDownMenuFind* find_ = nullptr;
    QWidget* adPanel_ = nullptr;
    QWebEngineView* adView_ = nullptr;
    QLabel* adText_ = nullptr;
    QLabel* adCountdown_ = nullptr;
    QTimer* adTimer_ = nullptr;
    AdCountdown countdown_;
    std::function<qint64()> countdownClock_;
    QString adLink_; // nothing assigns it: a press on the advertisement opens nothing
    bool awaitingFirstFrame_ = false;
    bool loading_ = false;
    QWidget* client_ = nullptr;
    MainWindowPlaces declaredPlaces_;
    QSize declaredClient_;
};
