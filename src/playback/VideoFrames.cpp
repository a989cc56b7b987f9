#include "playback/VideoFrames.h"

#include "playback/ScreenPresenter.h"

#include <cstdlib>
#include <cstring>
#include <vlc/vlc.h>

namespace {
constexpr unsigned MaxVideoSide = 8192;
} // namespace

// One RV32 picture. libVLC wants planes and pitches aligned to 32 bytes.
struct VideoFrames::Buffer {
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

VideoFrames::VideoFrames() = default;
VideoFrames::~VideoFrames() = default;

void VideoFrames::attach(libvlc_media_player_t* player, std::function<void()> onPicture) {
    onPicture_ = std::move(onPicture);
    libvlc_video_set_callbacks(player, OnVideoLock, nullptr, OnVideoDisplay, this);
    libvlc_video_set_format_callbacks(player, OnVideoFormat, nullptr);
}

void VideoFrames::setPresenter(std::shared_ptr<ScreenPresenter> presenter) {
    std::lock_guard lock(mutex_);
    presenter_ = std::move(presenter);
}

void VideoFrames::clear() {
    std::lock_guard lock(mutex_);
    forget();
}

void VideoFrames::forget() {
    readyFresh_ = false;
    showing_ = false;
    frontUnpainted_ = false;
    announce_ = true;
}

VideoFrames::Frame VideoFrames::current(double aspect) {
    return take(aspect, true);
}

VideoFrames::Frame VideoFrames::latest(double aspect) {
    return take(aspect, false);
}

VideoFrames::Frame VideoFrames::take(double aspect, bool painting) {
    std::shared_ptr<Buffer> buffer;
    bool fresh = false;
    bool presented = false;
    {
        std::lock_guard lock(mutex_);
        if (readyFresh_) {
            std::swap(ready_, front_);
            frontPresented_ = readyPresented_;
            readyFresh_ = false;
            showing_ = true;
            frontUnpainted_ = true;
        }
        if (painting)
            fresh = std::exchange(frontUnpainted_, false);
        if (showing_)
            buffer = front_;
        presented = frontPresented_;
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
    frame.aspect = aspect > 0 ? aspect : double(buffer->width) / buffer->height;
    frame.fresh = fresh;
    frame.presented = presented;
    return frame;
}

// libVLC's video thread, whenever the picture format is (re)negotiated.
unsigned VideoFrames::OnVideoFormat(void** opaque, char* chroma, unsigned* width, unsigned* height,
                                    unsigned* pitches, unsigned* lines) {
    auto* self = static_cast<VideoFrames*>(*opaque);
    if (*width == 0 || *height == 0 || *width > MaxVideoSide || *height > MaxVideoSide)
        return 0;
    std::memcpy(chroma, "RV32", 4);
    const unsigned pitch = (*width * 4 + 31) & ~31u;
    const unsigned rows = (*height + 31) & ~31u;
    pitches[0] = pitch;
    lines[0] = rows;
    // The same clip again (the usual case) keeps its buffers rather than churning the heap.
    {
        std::lock_guard lock(self->mutex_);
        if (self->back_ && self->back_->width == int(*width) &&
            self->back_->height == int(*height)) {
            self->forget();
            return 1;
        }
    }
    std::shared_ptr<Buffer> fresh[3];
    for (auto& buffer : fresh) {
        buffer = std::make_shared<Buffer>(*width, *height, pitch, rows);
        if (!buffer->data)
            return 0;
    }
    std::lock_guard lock(self->mutex_);
    self->back_ = std::move(fresh[0]);
    self->ready_ = std::move(fresh[1]);
    self->front_ = std::move(fresh[2]);
    self->forget();
    return 1;
}

// libVLC's video thread: only back_ is ever drawn into, and only by libVLC.
void* VideoFrames::OnVideoLock(void* opaque, void** planes) {
    auto* self = static_cast<VideoFrames*>(opaque);
    std::lock_guard lock(self->mutex_);
    planes[0] = self->back_->data;
    return self->back_.get();
}

void VideoFrames::OnVideoDisplay(void* opaque, void* picture) {
    auto* self = static_cast<VideoFrames*>(opaque);
    std::shared_ptr<ScreenPresenter> presenter;
    Buffer* drawn = nullptr;
    {
        std::lock_guard lock(self->mutex_);
        if (picture != self->back_.get())
            return;
        presenter = self->presenter_;
        drawn = self->back_.get();
    }
    // Only this thread writes back_, so the picture holds still while it is put on the screen.
    bool presented = false;
    if (presenter && drawn->data) {
        const QImage image(drawn->data, drawn->width, drawn->height, drawn->pitch,
                           QImage::Format_RGB32);
        const double aspect = self->aspect_;
        presented =
            presenter->present(image, aspect > 0 ? aspect : double(drawn->width) / drawn->height);
    }
    bool wake = true;
    {
        std::lock_guard lock(self->mutex_);
        std::swap(self->back_, self->ready_);
        self->readyFresh_ = true;
        self->readyPresented_ = presented;
        // A picture already on the screen leaves the window's thread asleep (waking it 25 times
        // a second cost a tenth of the viewer), all but the first of what plays: that one tells
        // it pictures have begun.
        if (presented)
            wake = std::exchange(self->announce_, false);
    }
    // One pending repaint is enough however many pictures arrive before it runs.
    if (wake && !self->posted_.exchange(true))
        self->onPicture_();
}
