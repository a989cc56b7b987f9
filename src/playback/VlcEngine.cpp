#include "playback/VlcEngine.h"

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
    : QObject(parent), media_(nullptr, libvlc_media_release), options_(std::move(options)),
      openTimeout_(options_.openTimeout) {
    openWatchdog_.setSingleShot(true);
    connect(&openWatchdog_, &QTimer::timeout, this, &VlcEngine::onOpenTimeout);
    timePoll_.setInterval(250);
    connect(&timePoll_, &QTimer::timeout, this, &VlcEngine::pollTimes);
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
        if (std::exchange(openPending_, false))
            fail();
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
    if (std::exchange(openPending_, false))
        openNow();
}

VlcEngine::~VlcEngine() {
    openWatchdog_.stop();
    timePoll_.stop();
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

void VlcEngine::open(const QString& location) {
    halt();
    location_ = location;
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
        openPending_ = true;
        setStatus(Status::Connecting);
        Q_EMIT timesChanged(0, 0, false);
        openWatchdog_.start(openTimeout_);
        prepare();
        return;
    }
    openNow();
}

void VlcEngine::openNow() {
    media_.reset(createVlcMedia(instance_.get(), location_));
    if (!media_) {
        fail();
        return;
    }
    libvlc_media_player_set_media(player_.get(), media_.get());
    start();
}

void VlcEngine::start() {
    setStatus(Status::Connecting);
    Q_EMIT timesChanged(0, 0, false);
    if (libvlc_media_player_play(player_.get()) != 0) {
        fail();
        return;
    }
    openWatchdog_.start(openTimeout_);
}

void VlcEngine::halt() {
    openWatchdog_.stop();
    timePoll_.stop();
    openPending_ = false;
    if (player_)
        libvlc_media_player_stop(player_.get());
    ++generation_;
    clearFrames();
    opened_ = false;
    played_ = false;
    hasStreams_ = false;
    paused_ = false;
    failed_ = false;
    bufferPercent_ = 0;
    time_ = 0;
    length_ = 0;
    seekable_ = false;
}

// A Windows Media server answers a plain HTTP request with a stream description only; libVLC's
// HTTP access takes that for the media and ends at once. Such an address is MMS over HTTP, which
// libVLC speaks under mmsh://. Tried once, and only when nothing has played yet.
bool VlcEngine::retryAsMmsh() {
    if (triedMmsh_ || !location_.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        return false;
    triedMmsh_ = true;
    std::unique_ptr<libvlc_media_t, void (*)(libvlc_media_t*)> media(
        createVlcMedia(instance_.get(), QStringLiteral("mmsh") + location_.mid(4)),
        libvlc_media_release);
    if (!media)
        return false;
    halt();
    media_ = std::move(media);
    libvlc_media_player_set_media(player_.get(), media_.get());
    start();
    return true;
}

void VlcEngine::fail() {
    halt();
    failed_ = true;
    setStatus(Status::CannotPlay);
    Q_EMIT timesChanged(0, 0, false);
}

void VlcEngine::togglePause() {
    if (status_ == Status::Playing || status_ == Status::Buffering)
        libvlc_media_player_set_pause(player_.get(), 1);
    else
        play();
}

void VlcEngine::play() {
    switch (status_) {
    case Status::Paused:
        libvlc_media_player_set_pause(player_.get(), 0);
        break;
    case Status::Stopped:
    case Status::CannotPlay:
        if (media_) {
            halt();
            start();
        }
        break;
    case Status::Idle:
    case Status::Connecting:
    case Status::Buffering:
    case Status::Playing:
        break;
    }
}

void VlcEngine::stop() {
    if (!media_ || status_ == Status::Stopped)
        return;
    halt();
    setStatus(Status::Stopped);
    Q_EMIT timesChanged(0, 0, false);
}

void VlcEngine::seekTo(qint64 ms) {
    if (!opened_ || !player_ || !libvlc_media_player_is_seekable(player_.get()))
        return;
    ms = std::max<qint64>(ms, 0);
    if (length_ > 0)
        ms = std::min(ms, length_);
    libvlc_media_player_set_time(player_.get(), ms);
    // The bar follows at once; time() waits for libVLC to report where it really is.
    Q_EMIT timesChanged(ms, length_, seekable_);
}

void VlcEngine::seekBy(qint64 ms) {
    if (!opened_ || !player_)
        return;
    seekTo(libvlc_media_player_get_time(player_.get()) + ms);
}

void VlcEngine::setVolume(int volume) {
    volume = std::clamp(volume, 0, 100);
    if (volume == volume_)
        return;
    volume_ = volume;
    if (player_)
        libvlc_audio_set_volume(player_.get(), volume_);
    Q_EMIT volumeChanged(volume_);
}

void VlcEngine::setMuted(bool muted) {
    if (muted == muted_)
        return;
    muted_ = muted;
    if (player_)
        libvlc_audio_set_mute(player_.get(), muted_ ? 1 : 0);
    Q_EMIT mutedChanged(muted_);
}

// Some audio outputs bring back a volume of their own when a stream starts; ours wins.
void VlcEngine::applyAudio() {
    libvlc_audio_set_volume(player_.get(), volume_);
    libvlc_audio_set_mute(player_.get(), muted_ ? 1 : 0);
}

void VlcEngine::setStatus(Status status) {
    if (status == status_)
        return;
    status_ = status;
    Q_EMIT statusChanged(status_);
}

void VlcEngine::updateStatus() {
    Status status = Status::Playing;
    if (failed_)
        status = Status::CannotPlay;
    else if (!opened_)
        status = Status::Connecting;
    else if (bufferPercent_ < 100)
        status = Status::Buffering;
    else if (paused_)
        status = Status::Paused;
    if (status == Status::Playing || status == Status::Paused)
        openWatchdog_.stop();
    setStatus(status);
}

void VlcEngine::onOpenTimeout() {
    if (status_ == Status::Connecting || status_ == Status::Buffering)
        fail();
}

void VlcEngine::pollTimes() {
    if (!player_ || !opened_)
        return;
    const qint64 time = std::max<qint64>(libvlc_media_player_get_time(player_.get()), 0);
    const qint64 length = std::max<qint64>(libvlc_media_player_get_length(player_.get()), 0);
    const bool seekable = libvlc_media_player_is_seekable(player_.get()) != 0;
    if (time > 0)
        played_ = true;
    if (time == time_ && length == length_ && seekable == seekable_)
        return;
    time_ = time;
    length_ = length;
    seekable_ = seekable;
    Q_EMIT timesChanged(time_, length_, seekable_);
}

// libVLC thread: copy what the event says and hand it over.
void VlcEngine::OnVlcEvent(const libvlc_event_t* event, void* opaque) {
    auto* self = static_cast<VlcEngine*>(opaque);
    Event copy;
    copy.type = event->type;
    if (event->type == libvlc_MediaPlayerBuffering)
        copy.cache = event->u.media_player_buffering.new_cache;
    if (event->type == libvlc_MediaPlayerESAdded)
        copy.track = event->u.media_player_es_changed.i_type;
    const quint64 generation = self->generation_.load();
    QMetaObject::invokeMethod(
        self, [self, generation, copy] { self->handleEvent(generation, copy); },
        Qt::QueuedConnection);
}

void VlcEngine::handleEvent(quint64 generation, Event event) {
    if (generation != generation_.load())
        return;
    switch (event.type) {
    case libvlc_MediaPlayerBuffering: {
        const int percent = std::clamp(int(event.cache), 0, 100);
        // A stream that keeps filling its buffer is making progress, however slowly.
        if (opened_ && percent > bufferPercent_ && openWatchdog_.isActive())
            openWatchdog_.start(openTimeout_);
        if (percent != bufferPercent_) {
            bufferPercent_ = percent;
            Q_EMIT bufferPercentChanged(percent);
        }
        if (opened_)
            updateStatus();
        break;
    }
    case libvlc_MediaPlayerPlaying:
        opened_ = true;
        paused_ = false;
        applyAudio();
        timePoll_.start();
        pollTimes();
        updateStatus();
        break;
    case libvlc_MediaPlayerPaused:
        paused_ = true;
        updateStatus();
        break;
    case libvlc_MediaPlayerESAdded:
        if (event.track == libvlc_track_audio || event.track == libvlc_track_video)
            hasStreams_ = true;
        break;
    case libvlc_MediaPlayerEndReached:
    case libvlc_MediaPlayerStopped:
        if (!played_ && retryAsMmsh())
            break;
        // Ending before anything could be opened or decoded (no such file, not media at all) is
        // a failure to play, not the end of a programme.
        if (!opened_ || !hasStreams_) {
            fail();
        } else {
            halt();
            setStatus(Status::Stopped);
            Q_EMIT timesChanged(0, 0, false);
        }
        break;
    case libvlc_MediaPlayerEncounteredError:
        if (!played_ && retryAsMmsh())
            break;
        fail();
        break;
    case libvlc_MediaPlayerLengthChanged:
    case libvlc_MediaPlayerSeekableChanged:
        pollTimes();
        break;
    case libvlc_MediaPlayerVout:
        readVideoGeometry();
        break;
    default:
        break;
    }
}

// libVLC offers the picture at the decoder's padded size and scales the real picture to fill it,
// so the buffer's own proportions can be off; the track tells the picture's size and pixel aspect.
void VlcEngine::readVideoGeometry() {
    if (!media_)
        return;
    libvlc_media_track_t** tracks = nullptr;
    const unsigned count = libvlc_media_tracks_get(media_.get(), &tracks);
    double aspect = 0;
    for (unsigned i = 0; i < count; ++i) {
        const libvlc_media_track_t* track = tracks[i];
        if (track->i_type != libvlc_track_video || !track->video)
            continue;
        const libvlc_video_track_t* video = track->video;
        if (video->i_width == 0 || video->i_height == 0)
            continue;
        double pixelAspect = 1;
        if (video->i_sar_num > 0 && video->i_sar_den > 0)
            pixelAspect = double(video->i_sar_num) / video->i_sar_den;
        aspect = video->i_width * pixelAspect / video->i_height;
        break;
    }
    if (tracks)
        libvlc_media_tracks_release(tracks, count);
    aspect_ = aspect;
    Q_EMIT frameArrived();
}

void VlcEngine::clearFrames() {
    frames_.clear();
    aspect_ = 0;
    Q_EMIT frameCleared();
}

VlcEngine::Frame VlcEngine::currentFrame() {
    return frames_.current(aspect_);
}

void VlcEngine::handleFrame() {
    frames_.pictureHandled();
    played_ = true;
    Q_EMIT frameArrived();
}
