#include "playback/TransportBar.h"

#include "playback/PlaybackController.h"
#include "playback/PlayerActions.h"
#include "playback/TransportControls.h"
#include "playback/TransportIcons.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

TransportBar::TransportBar(PlaybackController& playback, PlayerActions& actions, QWidget* parent)
    : QWidget(parent), playback_(playback), announcer_(playback.status(), playback.statusText()) {
    setObjectName(QStringLiteral("transportBar"));

    seek_ = new TransportSlider(
        [](const QSlider& seek) {
            return formatTime(seek.value()) + QStringLiteral(" / ") + formatLength(seek.maximum());
        },
        this);
    seek_->setObjectName(QStringLiteral("seekSlider"));
    seek_->setAccessibleName(QStringLiteral("播放进度"));
    seek_->setEnabled(false);
    seek_->setRange(0, 0);
    // An arrow on the slider seeks as far as the player's own arrow keys do.
    seek_->setSingleStep(int(PlaybackController::kSeekStepMs));
    seek_->setPageStep(10000);

    playPause_ = addButton("playPauseButton", actions.playPause);
    stop_ = addButton("stopButton", actions.stop);
    time_ = new QLabel(formatTime(0) + QStringLiteral(" / ") + formatLength(0), this);
    time_->setObjectName(QStringLiteral("timeLabel"));
    status_ = new StatusLabel(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    status_->setMinimumWidth(60);
    // A long text never widens the bar past the player; the room there is takes every text.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    mute_ = addButton("muteButton", actions.mute);
    mute_->setCheckable(true);
    volume_ = new TransportSlider(
        [](const QSlider& volume) { return QStringLiteral("%1%").arg(volume.value()); }, this);
    volume_->setObjectName(QStringLiteral("volumeSlider"));
    volume_->setAccessibleName(QStringLiteral("音量"));
    volume_->setRange(0, 100);
    volume_->setSingleStep(PlaybackController::kVolumeStep);
    volume_->setPageStep(10);
    volume_->setFixedWidth(80);
    fullScreen_ = addButton("fullScreenButton", actions.fullScreen);
    // Left to right the sliders sit elsewhere; a listener meets the controls in this order.
    setTabOrder(playPause_, stop_);
    setTabOrder(stop_, seek_);
    setTabOrder(seek_, volume_);
    setTabOrder(volume_, mute_);
    setTabOrder(mute_, fullScreen_);

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(4, 0, 4, 2);
    controls->setSpacing(4);
    controls->addWidget(playPause_);
    controls->addWidget(stop_);
    controls->addSpacing(4);
    controls->addWidget(time_);
    controls->addSpacing(8);
    controls->addWidget(status_, 1);
    controls->addWidget(mute_);
    controls->addWidget(volume_);
    controls->addWidget(fullScreen_);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    rows->addWidget(seek_);
    rows->addLayout(controls);

    connect(volume_, &QSlider::valueChanged, &playback, &PlaybackController::setVolume);
    // A drag seeks once, where it is let go; clicks, keys and page steps seek at once.
    connect(seek_, &QSlider::sliderReleased, this, [this] { playback_.seekTo(seek_->value()); });
    connect(seek_, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            playback_.seekTo(seek_->sliderPosition());
    });

    connect(&playback, &PlaybackController::statusChanged, this, &TransportBar::showStatus);
    connect(&playback, &PlaybackController::statusTextChanged, this, &TransportBar::showStatusText);
    connect(&playback, &PlaybackController::timesChanged, this, &TransportBar::showTimes);
    connect(&playback, &PlaybackController::volumeChanged, this, &TransportBar::showVolume);
    connect(&playback, &PlaybackController::mutedChanged, this, &TransportBar::showMuted);
    // What the bar shows to begin with; nobody is told of it.
    running_ = isRunning(playback.status());
    drawIcons();
    showFullScreenState(false);
    showStatusText(playback.statusText());
    showVolume(playback.volume());
    showMuted(playback.isMuted());
}

QToolButton* TransportBar::addButton(const char* name, QAction* action) {
    auto* button = new TransportButton(this);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    const auto nameAfterAction = [button, action] {
        button->setToolTip(action->text());
        button->setAccessibleName(action->text());
    };
    nameAfterAction();
    connect(action, &QAction::changed, button, nameAfterAction);
    // The button itself stays enabled, as the keys do; the action does what can be done now.
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    return button;
}

void TransportBar::showStatus(PlayerStatus status) {
    const QString text = playback_.statusText();
    if (announcer_.tell(status, text))
        status_->announce(text);
    running_ = isRunning(status);
    showIcons();
}

void TransportBar::showStatusText(const QString& text) {
    status_->setText(text);
}

void TransportBar::showTimes(qint64 time, qint64 length) {
    time_->setText(formatTime(time) + QStringLiteral(" / ") + formatLength(length));
    seek_->setEnabled(playback_.seekable() && length > 0);
    if (seek_->isSliderDown())
        return;
    const QSignalBlocker blocker(seek_);
    seek_->setRange(0, int(std::min<qint64>(std::max<qint64>(length, 0), INT_MAX)));
    seek_->setValue(int(std::min<qint64>(time, INT_MAX)));
}

void TransportBar::showVolume(int volume) {
    const QSignalBlocker blocker(volume_);
    volume_->setValue(volume);
}

void TransportBar::showMuted(bool muted) {
    mute_->setChecked(muted);
    muted_ = muted;
    showIcons();
}

void TransportBar::showFullScreenState(bool on) {
    fullScreenOn_ = on;
    showIcons();
}

void TransportBar::drawIcons() {
    for (int kind = 0; kind < kTransportIconCount; ++kind)
        icons_[size_t(kind)] = transportIcon(TransportIcon(kind), palette());
    showIcons();
}

void TransportBar::showIcons() {
    const auto show = [this](QToolButton* button, TransportIcon kind) {
        const QIcon& icon = icons_[size_t(kind)];
        if (button && button->icon().cacheKey() != icon.cacheKey())
            button->setIcon(icon);
    };
    show(playPause_, running_ ? TransportIcon::Pause : TransportIcon::Play);
    show(stop_, TransportIcon::Stop);
    show(mute_, muted_ ? TransportIcon::Muted : TransportIcon::Volume);
    show(fullScreen_, fullScreenOn_ ? TransportIcon::LeaveFullScreen : TransportIcon::FullScreen);
}

void TransportBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        drawIcons();
    QWidget::changeEvent(event);
}

QString TransportBar::formatTime(qint64 ms) {
    const qint64 seconds = std::max<qint64>(ms, 0) / 1000;
    const QChar zero(u'0');
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, zero)
            .arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, zero).arg(seconds % 60, 2, 10, zero);
}

QString TransportBar::formatLength(qint64 ms) {
    return ms > 0 ? formatTime(ms) : QStringLiteral("--:--");
}
