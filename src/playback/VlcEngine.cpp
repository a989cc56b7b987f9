#include "playback/VlcEngine.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <vlc/vlc.h>

namespace {

// libVLC's own reports: off by default, since everything a user needs shows in the player's
// status text; QT_LOGGING_RULES="velmora.vlc.debug=true" brings them back.
Q_LOGGING_CATEGORY(vlcLog, "velmora.vlc", QtInfoMsg)

void forwardVlcLog(void*, int level, const libvlc_log_t*, const char* format, va_list args) {
    if (!vlcLog().isDebugEnabled())
        return;
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    const char* kind = level >= LIBVLC_ERROR     ? "error"
                       : level >= LIBVLC_WARNING ? "warning"
                       : level >= LIBVLC_NOTICE  ? "notice"
                                                 : "debug";
    qCDebug(vlcLog, "%s: %s", kind, text);
}

// Without a sound server or card libVLC tries ALSA for every medium, and ALSA reports each
// failure on standard error by itself; a silent output is the one that exists then.
bool soundOutputReachable() {
    if (qEnvironmentVariableIsSet("PULSE_SERVER"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && (QFileInfo::exists(runtime + QStringLiteral("/pulse/native")) ||
                               QFileInfo::exists(runtime + QStringLiteral("/pipewire-0"))))
        return true;
    return !QDir(QStringLiteral("/dev/snd"))
                .entryList({QStringLiteral("pcmC*p")}, QDir::System | QDir::Files)
                .isEmpty();
}

std::shared_ptr<libvlc_instance_t> sharedInstance() {
    static std::mutex mutex;
    static std::weak_ptr<libvlc_instance_t> shared;
    std::lock_guard lock(mutex);
    if (auto instance = shared.lock())
        return instance;

    const std::vector<QByteArray> args = VlcEngine::instanceArguments();
    std::vector<const char*> argv;
    for (const QByteArray& arg : args)
        argv.push_back(arg.constData());

    libvlc_instance_t* raw = libvlc_new(int(argv.size()), argv.data());
    if (!raw)
        return {};
    libvlc_log_set(raw, &forwardVlcLog, nullptr);
    std::shared_ptr<libvlc_instance_t> instance(raw, libvlc_release);
    shared = instance;
    return instance;
}

std::chrono::milliseconds openTimeoutFromEnvironment() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VELMORA_OPEN_TIMEOUT_MS", &ok);
    if (ok && ms > 0)
        return std::chrono::milliseconds(ms);
    return VlcEngine::DefaultOpenTimeout;
}

// Anything of the form scheme:// goes to libVLC as an address; everything else is a local path.
libvlc_media_t* createMedia(libvlc_instance_t* instance, const QString& location) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (scheme.match(location).hasMatch()) {
        // libVLC wants a well-formed address; tolerant parsing escapes stray spaces and "%"
        // and keeps escapes already present.
        const QUrl url(location, QUrl::TolerantMode);
        const QByteArray mrl = url.isValid() ? url.toEncoded() : location.toUtf8();
        return libvlc_media_new_location(instance, mrl.constData());
    }
    const QString path = QFileInfo(location).absoluteFilePath();
    return libvlc_media_new_path(instance, QFile::encodeName(path).constData());
}

constexpr int EventTypes[] = {
    libvlc_MediaPlayerOpening,          libvlc_MediaPlayerBuffering,
    libvlc_MediaPlayerPlaying,          libvlc_MediaPlayerPaused,
    libvlc_MediaPlayerStopped,          libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerLengthChanged,
    libvlc_MediaPlayerSeekableChanged,  libvlc_MediaPlayerVout,
    libvlc_MediaPlayerESAdded,
};

constexpr unsigned MaxVideoSide = 8192;

} // namespace

// One RV32 picture. libVLC wants planes and pitches aligned to 32 bytes.
struct VlcEngine::Buffer {
    Buffer(unsigned w, unsigned h, unsigned pitchBytes, unsigned rowCount)
        : width(int(w)), height(int(h)), pitch(int(pitchBytes)),
          data(static_cast<uchar*>(std::aligned_alloc(64, size_t(pitchBytes) * rowCount))) {
        if (data)
            std::memset(data, 0, size_t(pitchBytes) * rowCount);
    }
    ~Buffer() { std::free(data); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    int width;
    int height;
    int pitch;
    uchar* data;
};

// libVLC's defaults hold a silent MMS server for about 100 s and retry HTTP for ever; the watchdog
// is the last word, these only make the common failures quick.
std::vector<QByteArray> VlcEngine::instanceArguments() {
    std::vector<QByteArray> args = {
        "--quiet",
        "--no-video-title-show",
        "--no-stats",
        "--no-snapshot-preview",
        "--no-sub-autodetect-file",
        "--mms-timeout=3000",
        "--network-caching=1000",
        "--no-http-reconnect",
    };
    // Tests and headless machines pick a silent output.
    const QByteArray audioOutput = qgetenv("VELMORA_AUDIO_OUTPUT");
    if (!audioOutput.isEmpty())
        args.push_back("--aout=" + audioOutput);
    else if (!soundOutputReachable())
        args.push_back("--aout=adummy");
    return args;
}

VlcEngine::VlcEngine(QObject* parent)
    : QObject(parent), media_(nullptr, libvlc_media_release),
      openTimeout_(openTimeoutFromEnvironment()) {
    openWatchdog_.setSingleShot(true);
    connect(&openWatchdog_, &QTimer::timeout, this, &VlcEngine::onOpenTimeout);
    timePoll_.setInterval(250);
    connect(&timePoll_, &QTimer::timeout, this, &VlcEngine::pollTimes);
}

// libVLC loads its plugins when the first medium is opened, not when the window is built, so
// the start of the program does not wait for it.
bool VlcEngine::ensurePlayer() {
    if (player_)
        return true;
    instance_ = sharedInstance();
    if (!instance_)
        return false;
    player_ = libvlc_media_player_new(instance_.get());
    if (!player_)
        return false;
    const QByteArray audioOutput = qgetenv("VELMORA_AUDIO_OUTPUT");
    if (!audioOutput.isEmpty())
        libvlc_audio_output_set(player_, audioOutput.constData());
    // The player keeps one audio output across media; set it before the first sound.
    applyAudio();
    libvlc_video_set_callbacks(player_, OnVideoLock, nullptr, OnVideoDisplay, this);
    libvlc_video_set_format_callbacks(player_, OnVideoFormat, nullptr);
    libvlc_event_manager_t* events = libvlc_media_player_event_manager(player_);
    for (int type : EventTypes)
        libvlc_event_attach(events, libvlc_event_e(type), OnVlcEvent, this);
    return true;
}

void VlcEngine::prepare() {
    ensurePlayer();
}

VlcEngine::~VlcEngine() {
    openWatchdog_.stop();
    timePoll_.stop();
    if (player_) {
        // Stopping joins libVLC's input and video threads, so no callback runs past this point
        // and the frame buffers can go.
        libvlc_media_player_stop(player_);
        libvlc_media_player_release(player_);
        player_ = nullptr;
    }
    media_.reset();
}

void VlcEngine::open(const QString& location) {
    halt();
    location_ = location;
    triedMmsh_ = false;
    if (player_)
        libvlc_media_player_set_media(player_, nullptr);
    media_.reset();
    if (location.isEmpty()) {
        // libVLC must never see an empty location: it breaks its next stop.
        setStatus(Status::Idle);
        Q_EMIT timesChanged(0, 0, false);
        return;
    }
    if (ensurePlayer())
        media_.reset(createMedia(instance_.get(), location));
    if (!media_) {
        fail();
        return;
    }
    libvlc_media_player_set_media(player_, media_.get());
    start();
}

void VlcEngine::start() {
    setStatus(Status::Connecting);
    Q_EMIT timesChanged(0, 0, false);
    if (libvlc_media_player_play(player_) != 0) {
        fail();
        return;
    }
    openWatchdog_.start(openTimeout_);
}

void VlcEngine::halt() {
    openWatchdog_.stop();
    timePoll_.stop();
    if (player_)
        libvlc_media_player_stop(player_);
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
        createMedia(instance_.get(), QStringLiteral("mmsh") + location_.mid(4)),
        libvlc_media_release);
    if (!media)
        return false;
    halt();
    media_ = std::move(media);
    libvlc_media_player_set_media(player_, media_.get());
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
        libvlc_media_player_set_pause(player_, 1);
    else
        play();
}

void VlcEngine::play() {
    switch (status_) {
    case Status::Paused:
        libvlc_media_player_set_pause(player_, 0);
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
    if (!opened_ || !player_ || !libvlc_media_player_is_seekable(player_))
        return;
    ms = std::max<qint64>(ms, 0);
    if (length_ > 0)
        ms = std::min(ms, length_);
    libvlc_media_player_set_time(player_, ms);
    // The bar follows at once; time() waits for libVLC to report where it really is.
    Q_EMIT timesChanged(ms, length_, seekable_);
}

void VlcEngine::seekBy(qint64 ms) {
    if (!opened_ || !player_)
        return;
    seekTo(libvlc_media_player_get_time(player_) + ms);
}

void VlcEngine::setVolume(int volume) {
    volume = std::clamp(volume, 0, 100);
    if (volume == volume_)
        return;
    volume_ = volume;
    if (player_)
        libvlc_audio_set_volume(player_, volume_);
    Q_EMIT volumeChanged(volume_);
}

void VlcEngine::setMuted(bool muted) {
    if (muted == muted_)
        return;
    muted_ = muted;
    if (player_)
        libvlc_audio_set_mute(player_, muted_ ? 1 : 0);
    Q_EMIT mutedChanged(muted_);
}

// Some audio outputs bring back a volume of their own when a stream starts; ours wins.
void VlcEngine::applyAudio() {
    libvlc_audio_set_volume(player_, volume_);
    libvlc_audio_set_mute(player_, muted_ ? 1 : 0);
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
    const qint64 time = std::max<qint64>(libvlc_media_player_get_time(player_), 0);
    const qint64 length = std::max<qint64>(libvlc_media_player_get_length(player_), 0);
    const bool seekable = libvlc_media_player_is_seekable(player_) != 0;
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
    {
        std::lock_guard lock(frameMutex_);
        readyFresh_ = false;
        showing_ = false;
    }
    aspect_ = 0;
    Q_EMIT frameCleared();
}

VlcEngine::Frame VlcEngine::currentFrame() {
    std::shared_ptr<Buffer> buffer;
    bool fresh = false;
    {
        std::lock_guard lock(frameMutex_);
        if (readyFresh_) {
            std::swap(ready_, front_);
            readyFresh_ = false;
            showing_ = true;
            fresh = true;
        }
        if (showing_)
            buffer = front_;
    }
    Frame frame;
    if (!buffer || !buffer->data)
        return frame;
    // The image shares ownership of the buffer, so a format change on libVLC's thread cannot
    // free it under the painter.
    auto* owner = new std::shared_ptr<Buffer>(buffer);
    frame.image = QImage(
        buffer->data, buffer->width, buffer->height, buffer->pitch, QImage::Format_RGB32,
        [](void* info) { delete static_cast<std::shared_ptr<Buffer>*>(info); }, owner);
    frame.aspect = aspect_ > 0 ? aspect_ : double(buffer->width) / buffer->height;
    frame.fresh = fresh;
    return frame;
}

// libVLC's video thread, whenever the picture format is (re)negotiated.
unsigned VlcEngine::OnVideoFormat(void** opaque, char* chroma, unsigned* width, unsigned* height,
                                  unsigned* pitches, unsigned* lines) {
    auto* self = static_cast<VlcEngine*>(*opaque);
    if (*width == 0 || *height == 0 || *width > MaxVideoSide || *height > MaxVideoSide)
        return 0;
    std::memcpy(chroma, "RV32", 4);
    const unsigned pitch = (*width * 4 + 31) & ~31u;
    const unsigned rows = (*height + 31) & ~31u;
    pitches[0] = pitch;
    lines[0] = rows;
    // The same clip again (the usual case) keeps its buffers rather than churning the heap.
    {
        std::lock_guard lock(self->frameMutex_);
        if (self->back_ && self->back_->width == int(*width) &&
            self->back_->height == int(*height)) {
            self->readyFresh_ = false;
            self->showing_ = false;
            return 1;
        }
    }
    std::shared_ptr<Buffer> fresh[3];
    for (auto& buffer : fresh) {
        buffer = std::make_shared<Buffer>(*width, *height, pitch, rows);
        if (!buffer->data)
            return 0;
    }
    std::lock_guard lock(self->frameMutex_);
    self->back_ = std::move(fresh[0]);
    self->ready_ = std::move(fresh[1]);
    self->front_ = std::move(fresh[2]);
    self->readyFresh_ = false;
    self->showing_ = false;
    return 1;
}

// libVLC's video thread: only back_ is ever drawn into, and only by libVLC.
void* VlcEngine::OnVideoLock(void* opaque, void** planes) {
    auto* self = static_cast<VlcEngine*>(opaque);
    std::lock_guard lock(self->frameMutex_);
    planes[0] = self->back_->data;
    return self->back_.get();
}

void VlcEngine::OnVideoDisplay(void* opaque, void* picture) {
    auto* self = static_cast<VlcEngine*>(opaque);
    {
        std::lock_guard lock(self->frameMutex_);
        if (picture != self->back_.get())
            return;
        std::swap(self->back_, self->ready_);
        self->readyFresh_ = true;
    }
    // One pending repaint is enough however many pictures arrive before it runs.
    if (!self->framePosted_.exchange(true))
        QMetaObject::invokeMethod(self, &VlcEngine::handleFrame, Qt::QueuedConnection);
}

void VlcEngine::handleFrame() {
    framePosted_ = false;
    played_ = true;
    Q_EMIT frameArrived();
}
