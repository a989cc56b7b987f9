// What libVLC reports, turned into the engine's state: status, times, pictures, the end.
#include "playback/VlcEngine.h"

#include <algorithm>
#include <cstdlib>
#include <vlc/vlc.h>

namespace {

// Past this a length is a reading libVLC made up, as it does while a stream seeks to its end.
constexpr qint64 kLongestLengthMs = qint64(100) * 3600 * 1000;
// A reading this close to a seek's target is libVLC's own from after the seek (it lands on the
// key frame before the target, or has played on a little).
constexpr qint64 kSeekLandedMs = 2000;

} // namespace

void VlcEngine::setStatus(Status status) {
    // Reconnecting counts its attempts: each is news, though the status stays.
    if (status == status_ && status != Status::Reconnecting)
        return;
    status_ = status;
    Q_EMIT statusChanged(status_);
}

void VlcEngine::updateStatus() {
    Status status = Status::Playing;
    if (now_.failed)
        status = Status::CannotPlay;
    else if (!now_.opened)
        status = Status::Connecting;
    else if (now_.paused || now_.pauseWanted)
        // Before buffering: a stream that seeks while paused refills only once it plays again.
        status = Status::Paused;
    else if (now_.bufferPercent < 100)
        status = Status::Buffering;
    if (status == Status::Playing || status == Status::Paused)
        openWatchdog_.stop();
    if (now_.attempting) {
        if (status != Status::Playing)
            return; // still "reconnecting (n/3)"
        now_.attempting = false;
    }
    setStatus(status);
}

void VlcEngine::onOpenTimeout() {
    if (status_ == Status::Connecting || status_ == Status::Buffering ||
        status_ == Status::Reconnecting)
        openFailed(PlayerError::NoAnswer);
}

void VlcEngine::pollTimes() {
    if (!player_ || !now_.opened)
        return;
    // A seek made while paused shows where it goes until play resumes.
    qint64 time = now_.pendingSeek >= 0
                      ? now_.pendingSeek
                      : std::max<qint64>(libvlc_media_player_get_time(player_.get()), 0);
    if (now_.seekShown >= 0 && now_.pendingSeek < 0) {
        if (std::abs(time - now_.seekShown) <= kSeekLandedMs || --now_.seekShownPolls <= 0)
            now_.seekShown = -1;
        else
            time = now_.seekShown;
    }
    qint64 length = libvlc_media_player_get_length(player_.get());
    if (length <= 0 || length > kLongestLengthMs)
        length = now_.length;
    const bool seekable = libvlc_media_player_is_seekable(player_.get()) != 0;
    if (now_.resumePending && seekable) {
        // Asked for once the stream can seek rather than as a start time: libVLC reads an MMS
        // stream from its start towards a start time, and one that breaks off early never gets
        // there.
        now_.resumePending = false;
        time = reconnect_.resumeAt();
        libvlc_media_player_set_time(player_.get(), time);
    } else if (reconnect_.active() && !now_.attempting && !now_.resumePending) {
        if (now_.attemptFrom < 0)
            now_.attemptFrom = time;
        if (reconnect_.recovered(time, now_.attemptFrom))
            reconnect_.end();
    }
    if (time > 0)
        now_.played = true;
    if (time != now_.time && !now_.paused && now_.played && status_ != Status::Reconnecting)
        stallWatchdog_.start();
    if (time == now_.time && length == now_.length && seekable == now_.seekable)
        return;
    now_.time = time;
    now_.length = length;
    now_.seekable = seekable;
    Q_EMIT timesChanged(now_.time, now_.length, now_.seekable);
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
        if (now_.opened && percent > now_.bufferPercent && openWatchdog_.isActive())
            openWatchdog_.start(openTimeout_);
        if (percent != now_.bufferPercent) {
            now_.bufferPercent = percent;
            Q_EMIT bufferPercentChanged(percent);
        }
        if (percent == 100)
            bufferFilled();
        if (now_.opened)
            updateStatus();
        break;
    }
    case libvlc_MediaPlayerPlaying:
        now_.opened = true;
        now_.paused = false;
        applyAudio();
        timePoll_.start();
        pollTimes();
        if (now_.played)
            stallWatchdog_.start();
        updateStatus();
        break;
    case libvlc_MediaPlayerPaused:
        now_.paused = true;
        stallWatchdog_.stop();
        updateStatus();
        break;
    case libvlc_MediaPlayerESAdded:
        if (event.track == libvlc_track_audio || event.track == libvlc_track_video)
            now_.hasStreams = true;
        break;
    case libvlc_MediaPlayerEndReached:
    case libvlc_MediaPlayerStopped:
        if (!now_.played && retryAsMmsh())
            break;
        // Ending before anything could be opened or decoded (no such file, not media at all) is
        // a failure to play, not the end of a programme.
        if (!now_.opened || !now_.hasStreams)
            openFailed();
        else
            ended();
        break;
    case libvlc_MediaPlayerEncounteredError:
        if (!now_.played && retryAsMmsh())
            break;
        if (now_.attempting)
            scheduleReconnect();
        else if (now_.played && isNetwork())
            dropped(now_.time);
        else
            openFailed();
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

void VlcEngine::ended() {
    if (now_.attempting) {
        scheduleReconnect();
        return;
    }
    // Not a drop, whatever the plan: a stream resumed near its end plays to the end.
    const qint64 at = std::max<qint64>(now_.time, libvlc_media_player_get_time(player_.get()));
    if (isNetwork() && endedShort(at, now_.length)) {
        if (now_.played)
            dropped(at);
        else
            fail(PlayerError::BrokeOff);
        return;
    }
    finish();
}

// The end of the medium: the picture goes, the same address can be played again.
void VlcEngine::finish() {
    halt();
    reconnect_.end();
    setStatus(Status::Stopped);
    Q_EMIT timesChanged(0, 0, false);
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
    now_.aspect = aspect;
    frames_.setAspect(aspect);
    Q_EMIT frameArrived();
}

void VlcEngine::handleFrame() {
    frames_.pictureHandled();
    now_.played = true;
    Q_EMIT frameArrived();
}
