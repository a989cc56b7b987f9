#include "playback/PlaybackController.h"

#include "playback/Location.h"
#include "playback/StatusText.h"
#include "playback/VlcEngine.h"

#include <algorithm>
#include <utility>

PlaybackController::PlaybackController(EngineOptions options, QObject* parent)
    : PlaybackController(std::make_unique<VlcEngine>(std::move(options)), parent) {}

PlaybackController::PlaybackController(std::unique_ptr<PlayerEngine> engine, QObject* parent)
    : QObject(parent), engine_(std::move(engine)) {
    engine_->setVolume(volume_);
    engine_->setMuted(muted_);
    engine_->setRate(rate_);
    noticeTimer_.setSingleShot(true);
    connect(&noticeTimer_, &QTimer::timeout, this, [this] {
        notice_.clear();
        announceStatus();
    });
    connect(engine_.get(), &PlayerEngine::statusChanged, this, &PlaybackController::announceStatus);
    connect(engine_.get(), &PlayerEngine::bufferPercentChanged, this,
            [this] { Q_EMIT statusTextChanged(statusText()); });
    connect(engine_.get(), &PlayerEngine::timesChanged, this, &PlaybackController::onTimes);
    connect(engine_.get(), &PlayerEngine::frameArrived, this, &PlaybackController::frameArrived);
    connect(engine_.get(), &PlayerEngine::frameCleared, this, &PlaybackController::frameCleared);
}

// The engine goes first, before anything that views may still read from: it stops libVLC, whose
// threads write into the frame buffers.
PlaybackController::~PlaybackController() {
    engine_.reset();
}

void PlaybackController::open(const QString& location, qint64 startMs, const QString& title) {
    const QString before = engine_->location();
    refusal_.clear();
    notice_.clear();
    noticeTimer_.stop();
    setRate(1);
    const bool refused = location.size() > kMaxUrlLength;
    if (refused) {
        // What played before stops, as for any new address; the reason stays in the bar.
        refusal_ = QStringLiteral("地址过长（%1 个字符，最多 %2 个），未播放")
                       .arg(location.size())
                       .arg(kMaxUrlLength);
    }
    QString name = title;
    if (refused || location.isEmpty())
        name.clear();
    else if (name.isEmpty())
        name = displayNameOf(location);
    // Named before the engine reports on the opening, so that whoever hears of it reads the name.
    const bool renamed = std::exchange(title_, name) != name;
    engine_->open(refused ? QString() : location, std::max<qint64>(startMs, 0));
    if (renamed)
        Q_EMIT titleChanged(title_);
    if (engine_->location() != before)
        Q_EMIT locationChanged(engine_->location());
    if (refused)
        announceStatus();
    Q_EMIT opened(engine_->location());
}

void PlaybackController::prepare() {
    engine_->prepare();
}

void PlaybackController::play() {
    engine_->play();
}

void PlaybackController::pause() {
    if (isRunning(status()))
        engine_->pause();
}

void PlaybackController::togglePause() {
    engine_->togglePause();
}

void PlaybackController::stop() {
    engine_->stop();
}

void PlaybackController::seekTo(qint64 ms) {
    if (!engine_->seekable() || engine_->length() <= 0)
        return;
    const qint64 target = std::max<qint64>(ms, 0);
    engine_->seekTo(target);
    // At or past the end the programme ends instead.
    if (engine_->length() > 0 && engine_->time() == target)
        Q_EMIT seeked(target);
}

void PlaybackController::seekBy(qint64 ms) {
    seekTo(engine_->time() + ms);
}

void PlaybackController::setVolume(int volume) {
    volume = std::clamp(volume, 0, 100);
    if (volume == volume_)
        return;
    volume_ = volume;
    engine_->setVolume(volume_);
    Q_EMIT volumeChanged(volume_);
}

void PlaybackController::setMuted(bool muted) {
    if (muted == muted_)
        return;
    muted_ = muted;
    engine_->setMuted(muted_);
    Q_EMIT mutedChanged(muted_);
}

void PlaybackController::setRate(double rate) {
    rate = std::clamp(rate, kMinRate, kMaxRate);
    if (qFuzzyCompare(rate, rate_))
        return;
    rate_ = rate;
    engine_->setRate(rate_);
    Q_EMIT rateChanged(rate_);
}

void PlaybackController::stepRate(int steps) {
    if (!hasMedia() || steps == 0)
        return;
    double rate = rate_;
    for (; steps > 0; --steps) {
        const auto next = std::find_if(kRateSteps.begin(), kRateSteps.end(),
                                       [&](double step) { return step > rate + 1e-6; });
        rate = next == kRateSteps.end() ? kRateSteps.back() : *next;
    }
    for (; steps < 0; ++steps) {
        const auto next = std::find_if(kRateSteps.rbegin(), kRateSteps.rend(),
                                       [&](double step) { return step < rate - 1e-6; });
        rate = next == kRateSteps.rend() ? kRateSteps.front() : *next;
    }
    setRate(rate);
    showNotice(QStringLiteral("速度 %1×").arg(rate_), kNoticeMs);
}

void PlaybackController::showNotice(const QString& text, int ms) {
    notice_ = text;
    noticeTimer_.start(ms);
    announceStatus();
}

PlayerStatus PlaybackController::status() const {
    return engine_->facts().status;
}

PlayerError PlaybackController::error() const {
    return engine_->facts().error;
}

QString PlaybackController::statusText() const {
    const StatusFacts facts = engine_->facts();
    // A notice gives way to a failure, which the user must see at once.
    if (!notice_.isEmpty() && facts.status != PlayerStatus::CannotPlay)
        return notice_;
    if (!refusal_.isEmpty() && facts.status == PlayerStatus::Idle)
        return refusal_;
    return ::statusText(facts);
}

QString PlaybackController::location() const {
    return engine_->location();
}

qint64 PlaybackController::position() const {
    return engine_->time();
}

qint64 PlaybackController::length() const {
    return engine_->length();
}

bool PlaybackController::seekable() const {
    return engine_->seekable();
}

void PlaybackController::setOpenTimeout(std::chrono::milliseconds timeout) {
    engine_->setOpenTimeout(timeout);
}

std::chrono::milliseconds PlaybackController::openTimeout() const {
    return engine_->openTimeout();
}

VideoFrames::Frame PlaybackController::currentFrame() {
    return engine_->currentFrame();
}

VideoFrames::Frame PlaybackController::latestFrame() {
    return engine_->latestFrame();
}

void PlaybackController::announceStatus() {
    Q_EMIT statusChanged(status());
    Q_EMIT statusTextChanged(statusText());
}

void PlaybackController::onTimes(qint64 time, qint64 length, bool seekable) {
    Q_EMIT timesChanged(time, length);
    if (std::exchange(position_, time) != time)
        Q_EMIT positionChanged(time);
    if (std::exchange(length_, length) != length)
        Q_EMIT lengthChanged(length);
    if (std::exchange(seekable_, seekable) != seekable)
        Q_EMIT seekableChanged(seekable);
}
