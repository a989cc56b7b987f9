// The main window around its player: the units' places as the window grows, the player's keys
// from anywhere in the window, and the keyboard for whatever starts playing.
#include "playback/MediaPlayer.h"
#include "playback/PlaybackController.h"
#include "ui/LibraryService.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>

namespace {

// Calls back whenever the watched widget has been resized.
class ResizeWatcher : public QObject {
  public:
    ResizeWatcher(QWidget* watched, std::function<void()> resized)
        : QObject(watched), resized_(std::move(resized)) {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            resized_();
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> resized_;
};

} // namespace

// The declared size is the default and the least; the window may grow, be maximised and come
// back, and the units follow.
void MainWindow::letWindowGrow() {
    declaredClient_ = client_->minimumSize();
    declaredPlaces_ = {player_->geometry(), menu_->geometry(), adPanel_->geometry(),
                       adText_->geometry(), adCountdown_->geometry()};
    new ResizeWatcher(client_, [this] { placeUnits(); });
    setMinimumSize(minimumSizeHint());
    resize(minimumSizeHint());
}

void MainWindow::placeUnits() {
    const MainWindowPlaces places =
        placeMainWindowUnits(declaredPlaces_, declaredClient_, client_->size());
    player_->setGeometry(places.player);
    menu_->setGeometry(places.menu);
    adPanel_->setGeometry(places.adPanel);
    adText_->setGeometry(places.adText);
    adCountdown_->setGeometry(places.adCountdown);
}

// A key reaches the window only when the widget with the focus had no use for it: the roll-down
// menu keeps Up, Down, Space and Enter, and everything else the player knows is the player's.
void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (player_->handleKey(event))
        return;
    // Home where nothing else took it: play what plays from its start.
    if (event->key() == Qt::Key_Home && event->modifiers() == Qt::NoModifier) {
        if (library_)
            library_->startOver();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::openLocation(const QString& location) {
    playInPlayer(location);
}

void MainWindow::bringToFront() {
    // In full screen the picture's own window is in front already.
    if (player_->fullScreen())
        return;
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

// Once a programme, file or address is handed over, Space and the arrows work it at once; Tab
// still leads to the menu.
void MainWindow::playInPlayer(const QString& location, qint64 fromMs, const QString& title) {
    playback_.open(location, fromMs, title);
    player_->setFocus(Qt::OtherFocusReason);
}
