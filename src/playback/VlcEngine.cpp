// The engine's commands: making libVLC's player, opening, the transport and the sound.
#include "playback/VlcEngine.h"

#include "playback/FailureProbe.h"
#include "playback/OneShotTimer.h"
#include "playback/VlcMedia.h"

#include <QByteArray>
#include <algorithm>
#include <utility>
#include <vector>
#include <vlc/vlc.h>

namespace {

constexpr int EventTypes[] = {
    libvlc_MediaPlayerOpening,          libvlc_MediaPlayerBuffering,
    libvlc_MediaPlayerPlaying,          libvlc_MediaPlayerPaused,
    libvlc_MediaPlayerStopped,          libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerLengthChanged,
    libvlc_MediaPlayerSeekableChanged,  libvlc_MediaPlayerVout,
    libvlc_MediaPlayerESAdded,
};

} // namespace

VlcEngine::VlcEngine(EngineOptions options, QObject* parent)
    : PlayerEngine(parent), media_(nullptr, libvlc_media_release), options_(std::move(options)),
      openTimeout_(options_.openTimeout),
      reconnectTimer_(makeTimer(options_.timers, this, QStringLiteral("reconnectWait"))) {
    openWatchdog_.setSingleShot(true);
    connect(&openWatchdog_, &QTimer::timeout, this, &VlcEngine::onOpenTimeout);
    timePoll_.setInterval(250);
    connect(&timePoll_, &QTimer::timeout, this, &VlcEngine::pollTimes);
    stallWatchdog_.setSingleShot(true);
    stallWatchdog_.setInterval(options_.stallTimeout);
    connect(&stallWatchdog_, &QTimer::timeout, this, &VlcEngine::onStall);
    connect(reconnectTimer_, &OneShotTimer::timeout, this, &VlcEngine::reconnectNow);
}

// libVLC loads its plugins on first use, on a thread of its own: neither the start of the program
// nor the countdown waits for it (a cold plugin cache takes seconds).
void VlcEngine::prepare() {
    if (creation_ != Creation::NotStarted)
        return;
    creation_ = Creation::Running;
    creator_ = std::thread([this, gate = creationGate_] {
        if (gate)
            gate();
        std::shared_ptr<libvlc_instance_t> instance = sharedVlcInstance(options_);
        std::shared_ptr<libvlc_media_player_t> player;
        if (instance) {
            if (libvlc_media_player_t* raw = libvlc_media_player_new(instance.get()))
                player.reset(raw, libvlc_media_player_release);
        }
        // Posted, so it lands after every open() the UI thread has made meanwhile. Should the
        // engine go first, Qt drops the call and the handles with it.
        QMetaObject::invokeMethod(
            this, [this, instance, player] { onPlayerCreated(instance, player); },
            Qt::QueuedConnection);
    });
}

void VlcEngine::onPlayerCreated(std::shared_ptr<libvlc_instance_t> instance,
                                std::shared_ptr<libvlc_media_player_t> player) {
    if (creator_.joinable())
        creator_.join();
    if (!player) {
        // Tried again by the next open().
        creation_ = Creation::NotStarted;
        if (std::exchange(now_.pending, false))
            fail(PlayerError::Format);
        return;
    }
    creation_ = Creation::Done;
    instance_ = std::move(instance);
    player_ = std::move(player);
    libvlc_media_player_t* p = player_.get();
    if (!options_.audioOutput.isEmpty())
        libvlc_audio_output_set(p, options_.audioOutput.constData());
    // The player keeps one audio output across media; set it before the first sound.
    applyAudio();
    frames_.attach(p, [this] {
        QMetaObject::invokeMethod(this, &VlcEngine::handleFrame, Qt::QueuedConnection);
    });
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(p);
    for (int type : EventTypes)
        libvlc_event_attach(events, libvlc_event_e(type), OnVlcEvent, this);
    if (std::exchange(now_.pending, false))
        openNow();
}

VlcEngine::~VlcEngine() {
    openWatchdog_.stop();
    timePoll_.stop();
    probe_.reset();
    if (creator_.joinable())
        creator_.join();
    if (player_) {
        // Stopping joins libVLC's input and video threads, so no callback runs past this point
        // and the frame buffers can go.
        libvlc_media_player_stop(player_.get());
        player_.reset();
    }
    media_.reset();
}

void VlcEngine::open(const QString& location, qint64 startMs) {
    halt();
    startMs_ = std::max<qint64>(startMs, 0);
    reconnect_.end();
    error_ = PlayerError::None;
    httpStatus_ = 0;
    location_ = location;
    openedAs_ = location;
    triedMmsh_ = false;
    if (player_)
        libvlc_media_player_set_media(player_.get(), nullptr);
    media_.reset();
    if (location.isEmpty()) {
        // libVLC must never see an empty location: it breaks its next stop.
        setStatus(Status::Idle);
        Q_EMIT timesChanged(0, 0, false);
        return;
    }
    if (!player_) {
        // The player is on its way; the newest location is the one it opens.
        now_.pending = true;
        setStatus(Status::Connecting);
        Q_EMIT timesChanged(0, 0, false);
        openWatchdog_.start(openTimeout_);
        prepare();
        return;
    }
    openNow();
}

void VlcEngine::openNow() {
    if (!load(openedAs_)) {
        openFailed();
        return;
    }
    start();
}

libvlc_media_t* VlcEngine::makeMedia(const QString& mrl, bool fromStartTime) const {
    libvlc_media_t* media = createVlcMedia(instance_.get(), mrl);
    if (media && fromStartTime && startMs_ > 0) {
        const QByteArray option =
            ":start-time=" + QByteArray::number(double(startMs_) / 1000.0, 'f', 3);
        libvlc_media_add_option(media, option.constData());
    }
    return media;
}

bool VlcEngine::load(const QString& mrl, bool fromStartTime) {
    media_.reset(makeMedia(mrl, fromStartTime));
    if (!media_)
        return false;
    libvlc_media_player_set_media(player_.get(), media_.get());
    return true;
}

void VlcEngine::start() {
    setStatus(now_.attempting ? Status::Reconnecting : Status::Connecting);
    if (!now_.attempting)
        Q_EMIT timesChanged(0, 0, false);
    if (libvlc_media_player_play(player_.get()) != 0) {
        openFailed();
        return;
    }
    openWatchdog_.start(openTimeout_);
}

void VlcEngine::halt() {
    openWatchdog_.stop();
    timePoll_.stop();
    stallWatchdog_.stop();
    reconnectTimer_->stop();
    probe_.reset();
    if (player_)
        libvlc_media_player_stop(player_.get());
    ++generation_;
    clearFrames();
    now_ = {};
}

// A Windows Media server answers a plain HTTP request with a stream description only; libVLC's
// HTTP access takes that for the media and ends at once. Such an address is MMS over HTTP, which
// libVLC speaks under mmsh://. Tried once, and only when nothing has played yet.
bool VlcEngine::retryAsMmsh() {
    if (triedMmsh_ || now_.attempting ||
        !location_.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        return false;
    triedMmsh_ = true;
    const QString mmsh = QStringLiteral("mmsh") + location_.mid(4);
    std::unique_ptr<libvlc_media_t, void (*)(libvlc_media_t*)> media(makeMedia(mmsh, true),
                                                                     libvlc_media_release);
    if (!media)
        return false;
    halt();
    openedAs_ = mmsh;
    media_ = std::move(media);
    libvlc_media_player_set_media(player_.get(), media_.get());
    start();
    return true;
}

void VlcEngine::togglePause() {
    if (!player_ || !now_.opened) {
        play();
        return;
    }
    // By what libVLC last said, not by the status, which may still show a seek's buffering.
    if (now_.paused) {
        resume();
    } else if (filling()) {
        // The pause waits for the buffer to fill, and a second press takes it back.
        if (now_.pauseWanted)
            resume();
        else
            now_.pauseWanted = true;
        updateStatus();
    } else {
        libvlc_media_player_set_pause(player_.get(), 1);
    }
}

void VlcEngine::pause() {
    if (!player_ || !now_.opened || now_.paused || now_.pauseWanted)
        return;
    if (filling()) {
        now_.pauseWanted = true;
        updateStatus();
    } else {
        libvlc_media_player_set_pause(player_.get(), 1);
    }
}

// A seek made while paused is handed over only now: libVLC, told to seek while paused with an
// earlier seek still under way, no longer takes the word to play on either.
void VlcEngine::resume() {
    // A pause that never reached libVLC is simply taken back.
    if (!std::exchange(now_.pauseWanted, false))
        libvlc_media_player_set_pause(player_.get(), 0);
    if (now_.pendingSeek >= 0)
        handOverSeek(std::exchange(now_.pendingSeek, -1));
}

// libVLC seeks on its own thread and, for a while, still reports the time from before: shown,
// that reading would send the bar back, and the time read meanwhile would seem to play on there.
void VlcEngine::handOverSeek(qint64 ms) {
    libvlc_media_player_set_time(player_.get(), ms);
    now_.seekSettling = isNetwork();
    now_.seekShown = ms;
    now_.seekShownPolls = 8;
}

// libVLC paused while a network stream fills its buffer, at the start or after a seek, never
// plays again when told to.
bool VlcEngine::filling() const {
    return now_.seekSettling || (isNetwork() && now_.bufferPercent < 100);
}

void VlcEngine::bufferFilled() {
    now_.seekSettling = false;
    if (std::exchange(now_.pauseWanted, false))
        libvlc_media_player_set_pause(player_.get(), 1);
}

void VlcEngine::play() {
    switch (status_) {
    case Status::Paused:
        resume();
        updateStatus();
        break;
    case Status::Stopped:
    case Status::CannotPlay:
        // Afresh, as first written: the same address, from its start.
        if (!location_.isEmpty())
            open(location_);
        break;
    case Status::Idle:
    case Status::Connecting:
    case Status::Buffering:
    case Status::Playing:
    case Status::Reconnecting:
        break;
    }
}

void VlcEngine::stop() {
    if (location_.isEmpty() || status_ == Status::Stopped)
        return;
    halt();
    reconnect_.end();
    setStatus(Status::Stopped);
    Q_EMIT timesChanged(0, 0, false);
}

void VlcEngine::seekTo(qint64 ms) {
    if (!now_.opened || !player_ || !now_.seekable || now_.length <= 0)
        return;
    if (ms >= now_.length) {
        // libVLC seeking to the very end of a network stream waits for data that never comes.
        finish();
        return;
    }
    now_.time = std::max<qint64>(ms, 0);
    if (now_.paused || now_.pauseWanted) {
        now_.pendingSeek = now_.time;
    } else {
        handOverSeek(now_.time);
    }
    // The bar follows at once; libVLC reports where it really is at the next poll.
    Q_EMIT timesChanged(now_.time, now_.length, now_.seekable);
}

void VlcEngine::setVolume(int volume) {
    volume_ = volume;
    if (player_)
        libvlc_audio_set_volume(player_.get(), volume_);
}

void VlcEngine::setMuted(bool muted) {
    muted_ = muted;
    if (player_)
        libvlc_audio_set_mute(player_.get(), muted_ ? 1 : 0);
}

void VlcEngine::setRate(double rate) {
    rate_ = rate;
    if (player_)
        libvlc_media_player_set_rate(player_.get(), float(rate_));
}

// Some audio outputs bring back a volume of their own when a stream starts; ours wins. The speed
// is the player's, kept across media, and said again for the same reason.
void VlcEngine::applyAudio() {
    libvlc_audio_set_volume(player_.get(), volume_);
    libvlc_audio_set_mute(player_.get(), muted_ ? 1 : 0);
    libvlc_media_player_set_rate(player_.get(), float(rate_));
}

void VlcEngine::clearFrames() {
    frames_.clear();
    now_.aspect = 0;
    frames_.setAspect(0);
    Q_EMIT frameCleared();
}

VlcEngine::Frame VlcEngine::currentFrame() {
    return frames_.current(now_.aspect);
}

void VlcEngine::setPresenter(std::shared_ptr<ScreenPresenter> presenter) {
    frames_.setPresenter(std::move(presenter));
}

VlcEngine::Frame VlcEngine::latestFrame() {
    return frames_.latest(now_.aspect);
}
