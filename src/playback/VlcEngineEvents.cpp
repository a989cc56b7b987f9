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
    if (failed_)
        status = Status::CannotPlay;
    else if (!opened_)
        status = Status::Connecting;
    else if (paused_ || pauseWanted_)
        // Before buffering: a stream that seeks while paused refills only once it plays again.
        status = Status::Paused;
    else if (bufferPercent_ < 100)
        status = Status::Buffering;
    if (status == Status::Playing || status == Status::Paused)
        openWatchdog_.stop();
    if (attempting_) {
        if (status != Status::Playing)
            return; // still "reconnecting (n/3)"
        attempting_ = false;
    }
    setStatus(status);
}

void VlcEngine::onOpenTimeout() {
    if (status_ == Status::Connecting || status_ == Status::Buffering ||
        status_ == Status::Reconnecting)
        openFailed(PlayerError::NoAnswer);
}

void VlcEngine::pollTimes() {
    if (!player_ || !opened_)
        return;
    // A seek made while paused shows where it goes until play resumes.
    qint64 time = pendingSeek_ >= 0
                      ? pendingSeek_
                      : std::max<qint64>(libvlc_media_player_get_time(player_.get()), 0);
    if (seekShown_ >= 0 && pendingSeek_ < 0) {
        if (std::abs(time - seekShown_) <= kSeekLandedMs || --seekShownPolls_ <= 0)
            seekShown_ = -1;
        else
            time = seekShown_;
    }
    qint64 length = libvlc_media_player_get_length(player_.get());
    if (length <= 0 || length > kLongestLengthMs)
        length = length_;
    const bool seekable = libvlc_media_player_is_seekable(player_.get()) != 0;
    if (resumePending_ && seekable) {
        // Asked for once the stream can seek rather than as a start time: libVLC reads an MMS
        // stream from its start towards a start time, and one that breaks off early never gets
        // there.
        resumePending_ = false;
        time = reconnect_.resumeAt();
        libvlc_media_player_set_time(player_.get(), time);
    } else if (reconnect_.active() && !attempting_ && !resumePending_) {
        if (attemptFrom_ < 0)
            attemptFrom_ = time;
        if (reconnect_.recovered(time, attemptFrom_))
            reconnect_.end();
    }
    if (time > 0)
        played_ = true;
    if (time != time_ && !paused_ && played_ && status_ != Status::Reconnecting)
        stallWatchdog_.start();
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
        if (percent == 100)
            seekSettled();
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
        if (played_)
            stallWatchdog_.start();
        updateStatus();
        break;
    case libvlc_MediaPlayerPaused:
        paused_ = true;
        stallWatchdog_.stop();
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
        if (!opened_ || !hasStreams_)
            openFailed();
        else
            ended();
        break;
    case libvlc_MediaPlayerEncounteredError:
        if (!played_ && retryAsMmsh())
            break;
        if (attempting_)
            scheduleReconnect();
        else if (played_ && isNetwork())
            dropped(time_);
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
    if (attempting_) {
        scheduleReconnect();
        return;
    }
    // Not a drop, whatever the plan: a stream resumed near its end plays to the end.
    const qint64 at = std::max<qint64>(time_, libvlc_media_player_get_time(player_.get()));
    if (isNetwork() && endedShort(at, length_)) {
        if (played_)
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
    aspect_ = aspect;
    Q_EMIT frameArrived();
}

void VlcEngine::handleFrame() {
    frames_.pictureHandled();
    played_ = true;
    Q_EMIT frameArrived();
}
