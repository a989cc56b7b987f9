#include "playback/TransportBar.h"

#include "playback/PlaybackController.h"
#include "playback/PlayerActions.h"
#include "playback/TransportIcons.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

TransportBar::TransportBar(PlaybackController& playback, PlayerActions& actions, QWidget* parent)
    : QWidget(parent), playback_(playback) {
    setObjectName(QStringLiteral("transportBar"));

    seek_ = new QSlider(Qt::Horizontal, this);
    seek_->setObjectName(QStringLiteral("seekSlider"));
    seek_->setAccessibleName(QStringLiteral("播放进度"));
    seek_->setFocusPolicy(Qt::NoFocus);
    seek_->setEnabled(false);
    seek_->setRange(0, 0);
    seek_->setSingleStep(5000);
    seek_->setPageStep(10000);

    playPause_ = addButton("playPauseButton", actions.playPause);
    stop_ = addButton("stopButton", actions.stop);
    time_ = new QLabel(formatTime(0) + QStringLiteral(" / ") + formatLength(0), this);
    time_->setObjectName(QStringLiteral("timeLabel"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    status_->setMinimumWidth(60);
    // A long text never widens the bar past the player; the room there is takes every text.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    mute_ = addButton("muteButton", actions.mute);
    mute_->setCheckable(true);
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setObjectName(QStringLiteral("volumeSlider"));
    volume_->setAccessibleName(QStringLiteral("音量"));
    volume_->setFocusPolicy(Qt::NoFocus);
    volume_->setRange(0, 100);
    volume_->setSingleStep(5);
    volume_->setPageStep(10);
    volume_->setFixedWidth(80);
    fullScreen_ = addButton("fullScreenButton", actions.fullScreen);

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
    // A drag seeks once, where it is let go; clicks and page steps seek at once.
    connect(seek_, &QSlider::sliderReleased, this, [this] { playback_.seekTo(seek_->value()); });
    connect(seek_, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            playback_.seekTo(seek_->sliderPosition());
    });

    connect(&playback, &PlaybackController::statusChanged, this, &TransportBar::showStatus);
    connect(&playback, &PlaybackController::statusTextChanged, this, &TransportBar::showStatus);
    connect(&playback, &PlaybackController::timesChanged, this, &TransportBar::showTimes);
    connect(&playback, &PlaybackController::volumeChanged, this, &TransportBar::showVolume);
    connect(&playback, &PlaybackController::mutedChanged, this, &TransportBar::showMuted);
    showFullScreenState(false);
    showStatus();
    showVolume(playback.volume());
    showMuted(playback.isMuted());
}

QToolButton* TransportBar::addButton(const char* name, QAction* action) {
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
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

void TransportBar::showStatus() {
    status_->setText(playback_.statusText());
    running_ = isRunning(playback_.status());
    paintIcons();
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
    paintIcons();
}

void TransportBar::showFullScreenState(bool on) {
    fullScreenOn_ = on;
    paintIcons();
}

void TransportBar::paintIcons() {
    const QPalette& colours = palette();
    playPause_->setIcon(
        transportIcon(running_ ? TransportIcon::Pause : TransportIcon::Play, colours));
    stop_->setIcon(transportIcon(TransportIcon::Stop, colours));
    mute_->setIcon(transportIcon(muted_ ? TransportIcon::Muted : TransportIcon::Volume, colours));
    fullScreen_->setIcon(transportIcon(
        fullScreenOn_ ? TransportIcon::LeaveFullScreen : TransportIcon::FullScreen, colours));
}

void TransportBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        paintIcons();
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
