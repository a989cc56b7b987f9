#include "playback/MediaPlayer.h"

#include "playback/FullScreenControls.h"
#include "playback/PlaybackController.h"
#include "playback/PlayerActions.h"
#include "playback/TransportBar.h"
#include "playback/VideoView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QVBoxLayout>

MediaPlayer::MediaPlayer(PlaybackController& playback, QWidget* parent, const TimerFactory& timers)
    : QWidget(parent), playback_(playback) {
    build(timers);
}

MediaPlayer::MediaPlayer(EngineOptions options, QWidget* parent)
    : MediaPlayer(std::make_unique<PlaybackController>(options), parent, options.timers) {}

MediaPlayer::MediaPlayer(std::unique_ptr<PlaybackController> own, QWidget* parent,
                         const TimerFactory& timers)
    : QWidget(parent), own_(std::move(own)), playback_(*own_) {
    build(timers);
}

// A player of its own stops first: libVLC's threads paint into buffers the view reads.
MediaPlayer::~MediaPlayer() {
    own_.reset();
}

void MediaPlayer::build(const TimerFactory& timers) {
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("媒体播放器"));
    actions_ = new PlayerActions(playback_, this);

    screen_ = new QWidget(this);
    screen_->setObjectName(QStringLiteral("playerScreen"));
    screen_->setFocusPolicy(Qt::NoFocus);
    screen_->installEventFilter(this);
    video_ = new VideoView(playback_, screen_);
    bar_ = new TransportBar(playback_, *actions_, screen_);
    bar_->setAutoFillBackground(true);
    auto* screenLayout = new QVBoxLayout(screen_);
    screenLayout->setContentsMargins(0, 0, 0, 0);
    screenLayout->setSpacing(0);
    screenLayout->addWidget(video_, 1);
    screenLayout->addWidget(bar_);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->addWidget(screen_);
    fullScreenControls_ = new FullScreenControls(screen_, bar_, timers, this);

    connect(&playback_, &PlaybackController::statusChanged, this, [this](Status status) {
        fullScreenControls_->showStatus(playback_.statusText());
        Q_EMIT statusChanged(status);
    });
    connect(&playback_, &PlaybackController::timesChanged, this, &MediaPlayer::timesChanged);
    connect(video_, &VideoView::framePainted, this, &MediaPlayer::framePainted);
    connect(video_, &VideoView::doubleClicked, this, [this] { setFullScreen(!fullScreen()); });
    connect(actions_, &PlayerActions::fullScreenRequested, this, &MediaPlayer::setFullScreen);
}

void MediaPlayer::setURL(const QString& location, qint64 startMs) {
    playback_.open(location, startMs);
}

QString MediaPlayer::URL() const {
    return playback_.location();
}

MediaPlayer::Status MediaPlayer::status() const {
    return playback_.status();
}

PlayerError MediaPlayer::error() const {
    return playback_.error();
}

QString MediaPlayer::statusText() const {
    return playback_.statusText();
}

int MediaPlayer::volume() const {
    return playback_.volume();
}

bool MediaPlayer::isMuted() const {
    return playback_.isMuted();
}

qint64 MediaPlayer::time() const {
    return playback_.position();
}

qint64 MediaPlayer::length() const {
    return playback_.length();
}

void MediaPlayer::seekTo(qint64 ms) {
    playback_.seekTo(ms);
}

void MediaPlayer::prepare() {
    playback_.prepare();
}

void MediaPlayer::showNotice(const QString& text, int ms) {
    playback_.showNotice(text, ms);
}

void MediaPlayer::setOpenTimeout(std::chrono::milliseconds timeout) {
    playback_.setOpenTimeout(timeout);
}

std::chrono::milliseconds MediaPlayer::openTimeout() const {
    return playback_.openTimeout();
}

qint64 MediaPlayer::paintedFrames() const {
    return video_->paintedFrames();
}

QSize MediaPlayer::videoSize() const {
    return video_->size();
}

bool MediaPlayer::fullScreen() const {
    return screen_->isWindow();
}

// The video and its bar leave the window as one top-level window and come back to the same place;
// the player itself keeps its unit geometry throughout.
void MediaPlayer::setFullScreen(bool on) {
    if (on == fullScreen()) {
        actions_->showFullScreen(on);
        return;
    }
    if (on) {
        layout_->removeWidget(screen_);
        screen_->setParent(this, Qt::Window);
        screen_->setWindowTitle(window()->windowTitle());
        screen_->setFocusPolicy(Qt::StrongFocus);
        // The screen the player is on, whole, even where no window manager grants the state.
        screen_->setGeometry(screen()->geometry());
        screen_->showFullScreen();
        screen_->activateWindow();
        screen_->setFocus(Qt::OtherFocusReason);
        fullScreenControls_->setFullScreen(true);
    } else {
        fullScreenControls_->setFullScreen(false);
        screen_->setWindowState(Qt::WindowNoState);
        screen_->setParent(this, Qt::Widget);
        screen_->setFocusPolicy(Qt::NoFocus);
        layout_->addWidget(screen_);
        screen_->show();
        window()->activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
    bar_->showFullScreenState(on);
    actions_->showFullScreen(on);
}

bool MediaPlayer::handleKey(QKeyEvent* event) {
    return actions_->handleKey(event);
}

void MediaPlayer::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}

void MediaPlayer::contextMenuEvent(QContextMenuEvent* event) {
    showContextMenu(event->globalPos());
}

// In full screen the screen is a window of its own: its keys, menu and closing come here.
bool MediaPlayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != screen_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        fullScreenControls_->wake();
        return handleKey(static_cast<QKeyEvent*>(event));
    case QEvent::ContextMenu:
        showContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    case QEvent::Close:
        if (fullScreen()) {
            event->ignore();
            setFullScreen(false);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void MediaPlayer::showContextMenu(const QPoint& globalPos) {
    // A popup rather than a nested event loop: the player may be torn down while it is open.
    auto* menu = new QMenu(screen_);
    menu->setObjectName(QStringLiteral("playerMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* action : actions_->menuActions()) {
        if (action)
            menu->addAction(action);
        else
            menu->addSeparator();
    }
    menu->popup(globalPos);
}
