#include "playback/MediaPlayer.h"

#include "playback/FullScreenControls.h"
#include "playback/StatusText.h"
#include "playback/TransportBar.h"
#include "playback/VideoView.h"
#include "playback/VlcEngine.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr qint64 SeekStepMs = 10000;
constexpr int VolumeStep = 5;
} // namespace

MediaPlayer::MediaPlayer(EngineOptions options, QWidget* parent)
    : QWidget(parent), engine_(new VlcEngine(options, this)), noticeTimer_(new QTimer(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("媒体播放器"));

    screen_ = new QWidget(this);
    screen_->setObjectName(QStringLiteral("playerScreen"));
    screen_->setFocusPolicy(Qt::NoFocus);
    screen_->installEventFilter(this);
    video_ = new VideoView(engine_, screen_);
    bar_ = new TransportBar(screen_);
    bar_->setAutoFillBackground(true);
    auto* screenLayout = new QVBoxLayout(screen_);
    screenLayout->setContentsMargins(0, 0, 0, 0);
    screenLayout->setSpacing(0);
    screenLayout->addWidget(video_, 1);
    screenLayout->addWidget(bar_);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->addWidget(screen_);
    fullScreenControls_ = new FullScreenControls(screen_, bar_, options.timers, this);

    connect(engine_, &VlcEngine::statusChanged, this, [this](Status status) {
        showStatus();
        fullScreenControls_->showStatus(statusText());
        Q_EMIT statusChanged(status);
    });
    connect(engine_, &VlcEngine::bufferPercentChanged, this, &MediaPlayer::showStatus);
    connect(engine_, &VlcEngine::timesChanged, bar_, &TransportBar::showTimes);
    connect(engine_, &VlcEngine::timesChanged, this,
            [this](qint64 time, qint64 length, bool) { Q_EMIT timesChanged(time, length); });
    noticeTimer_->setSingleShot(true);
    connect(noticeTimer_, &QTimer::timeout, this, [this] {
        notice_.clear();
        showStatus();
        fullScreenControls_->showStatus(statusText());
        Q_EMIT statusChanged(status());
    });
    connect(engine_, &VlcEngine::volumeChanged, bar_, &TransportBar::showVolume);
    connect(engine_, &VlcEngine::mutedChanged, bar_, &TransportBar::showMuted);
    connect(engine_, &VlcEngine::frameArrived, video_, qOverload<>(&QWidget::update));
    connect(engine_, &VlcEngine::frameCleared, video_, qOverload<>(&QWidget::update));
    connect(video_, &VideoView::framePainted, this, &MediaPlayer::framePainted);
    connect(video_, &VideoView::doubleClicked, this, [this] { setFullScreen(!fullScreen()); });

    connect(bar_, &TransportBar::playPauseRequested, engine_, &VlcEngine::togglePause);
    connect(bar_, &TransportBar::stopRequested, engine_, &VlcEngine::stop);
    connect(bar_, &TransportBar::seekRequested, engine_, &VlcEngine::seekTo);
    connect(bar_, &TransportBar::muteRequested, engine_, &VlcEngine::setMuted);
    connect(bar_, &TransportBar::volumeRequested, engine_, &VlcEngine::setVolume);
    connect(bar_, &TransportBar::fullScreenRequested, this,
            [this] { setFullScreen(!fullScreen()); });

    bar_->showVolume(engine_->volume());
    bar_->showMuted(engine_->muted());
    showStatus();
}

// The engine goes first: it stops libVLC, whose threads paint into buffers the view reads.
MediaPlayer::~MediaPlayer() {
    delete engine_;
    engine_ = nullptr;
}

void MediaPlayer::setURL(const QString& location) {
    setURL(location, 0);
}

void MediaPlayer::setURL(const QString& location, qint64 startMs) {
    refusal_.clear();
    notice_.clear();
    noticeTimer_->stop();
    if (location.size() > kMaxUrlLength) {
        // What played before stops, as for any new address; the reason stays in the bar.
        refusal_ = QStringLiteral("地址过长（%1 个字符，最多 %2 个），未播放")
                       .arg(location.size())
                       .arg(kMaxUrlLength);
        engine_->open(QString());
        showStatus();
        Q_EMIT statusChanged(status());
        return;
    }
    engine_->open(location, startMs);
}

void MediaPlayer::showNotice(const QString& text, int ms) {
    notice_ = text;
    noticeTimer_->start(ms);
    showStatus();
    fullScreenControls_->showStatus(statusText());
    Q_EMIT statusChanged(status());
}

void MediaPlayer::seekTo(qint64 ms) {
    engine_->seekTo(ms);
}

void MediaPlayer::prepare() {
    engine_->prepare();
}

QString MediaPlayer::URL() const {
    return engine_->location();
}

MediaPlayer::Status MediaPlayer::status() const {
    return engine_->status();
}

PlayerError MediaPlayer::error() const {
    return engine_->error();
}

QString MediaPlayer::statusText() const {
    // A notice gives way to a failure, which the user must see at once.
    if (!notice_.isEmpty() && engine_->status() != Status::CannotPlay)
        return notice_;
    if (!refusal_.isEmpty() && engine_->status() == Status::Idle)
        return refusal_;
    return ::statusText({engine_->status(), engine_->error(), engine_->httpStatus(),
                         engine_->bufferPercent(), engine_->reconnectAttempt()});
}

qint64 MediaPlayer::paintedFrames() const {
    return video_->paintedFrames();
}

QSize MediaPlayer::videoSize() const {
    return video_->size();
}

int MediaPlayer::volume() const {
    return engine_->volume();
}

bool MediaPlayer::isMuted() const {
    return engine_->muted();
}

qint64 MediaPlayer::time() const {
    return engine_->time();
}

qint64 MediaPlayer::length() const {
    return engine_->length();
}

void MediaPlayer::setOpenTimeout(std::chrono::milliseconds timeout) {
    engine_->setOpenTimeout(timeout);
}

std::chrono::milliseconds MediaPlayer::openTimeout() const {
    return engine_->openTimeout();
}

void MediaPlayer::showStatus() {
    bar_->showStatus(engine_->status(), statusText());
}

bool MediaPlayer::fullScreen() const {
    return screen_->isWindow();
}

// The video and its bar leave the window as one top-level window and come back to the same place;
// the player itself keeps its unit geometry throughout.
void MediaPlayer::setFullScreen(bool on) {
    if (on == fullScreen())
        return;
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
}

bool MediaPlayer::handleKey(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const bool repeat = event->isAutoRepeat();
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_MediaTogglePlayPause:
        if (!repeat)
            engine_->togglePause();
        return true;
    case Qt::Key_MediaPlay:
        if (!repeat)
            engine_->play();
        return true;
    case Qt::Key_MediaPause:
        if (!repeat &&
            (engine_->status() == Status::Playing || engine_->status() == Status::Buffering))
            engine_->togglePause();
        return true;
    case Qt::Key_MediaStop:
        engine_->stop();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Tries the address that failed once more; otherwise Enter belongs to others.
        if (engine_->status() != Status::CannotPlay)
            return false;
        if (!repeat)
            engine_->play();
        return true;
    case Qt::Key_F:
        if (!repeat)
            setFullScreen(!fullScreen());
        return true;
    case Qt::Key_Escape:
        if (!fullScreen())
            return false;
        setFullScreen(false);
        return true;
    case Qt::Key_M:
    case Qt::Key_VolumeMute:
        if (!repeat)
            engine_->setMuted(!engine_->muted());
        return true;
    case Qt::Key_Left:
        engine_->seekBy(-SeekStepMs);
        return true;
    case Qt::Key_Right:
        engine_->seekBy(SeekStepMs);
        return true;
    case Qt::Key_Up:
    case Qt::Key_VolumeUp:
        engine_->setVolume(engine_->volume() + VolumeStep);
        return true;
    case Qt::Key_Down:
    case Qt::Key_VolumeDown:
        engine_->setVolume(engine_->volume() - VolumeStep);
        return true;
    default:
        return false;
    }
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
    const Status status = engine_->status();
    const bool running =
        status == Status::Playing || status == Status::Buffering || status == Status::Connecting;
    const bool hasMedia = !engine_->location().isEmpty();
    const bool seekable = engine_->seekable();

    // A popup rather than a nested event loop: the player may be torn down while it is open.
    auto* menu = new QMenu(screen_);
    menu->setObjectName(QStringLiteral("playerMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* playPause = menu->addAction(
        (running ? QStringLiteral("暂停") : QStringLiteral("播放")) + QStringLiteral("\tSpace"),
        engine_, &VlcEngine::togglePause);
    playPause->setEnabled(hasMedia);
    menu->addAction(QStringLiteral("停止"), engine_, &VlcEngine::stop)->setEnabled(hasMedia);
    menu->addSeparator();
    menu->addAction(QStringLiteral("快退 10 秒\tLeft"), engine_,
                    [this] { engine_->seekBy(-SeekStepMs); })
        ->setEnabled(seekable);
    menu->addAction(QStringLiteral("快进 10 秒\tRight"), engine_,
                    [this] { engine_->seekBy(SeekStepMs); })
        ->setEnabled(seekable);
    menu->addSeparator();
    menu->addAction(QStringLiteral("增大音量\tUp"), engine_,
                    [this] { engine_->setVolume(engine_->volume() + VolumeStep); });
    menu->addAction(QStringLiteral("减小音量\tDown"), engine_,
                    [this] { engine_->setVolume(engine_->volume() - VolumeStep); });
    QAction* mute = menu->addAction(QStringLiteral("静音\tM"), engine_, &VlcEngine::setMuted);
    mute->setCheckable(true);
    mute->setChecked(engine_->muted());
    menu->addSeparator();
    QAction* full =
        menu->addAction(fullScreen() ? QStringLiteral("退出全屏\tEsc") : QStringLiteral("全屏\tF"),
                        this, [this] { setFullScreen(!fullScreen()); });
    full->setCheckable(true);
    full->setChecked(fullScreen());
    menu->popup(globalPos);
}
