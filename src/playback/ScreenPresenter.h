#pragma once

#include "playback/PictureScaler.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

struct xcb_connection_t;

// Puts each decoded picture on an X11 window straight from libVLC's video thread, scaled into
// memory the X server reads (MIT-SHM), over a connection of its own. The window's thread then
// does nothing per picture: no event to wake it, no repaint, no wait for the server to release
// the window's backing store, no second copy into it. The window still paints the same picture
// whenever the toolkit repaints the view (an exposure, a resize), so both agree on what shows.
class ScreenPresenter {
  public:
    // What to draw into: an area of a window (in its pixels), and the parts of that area nothing
    // else covers. An empty clip draws nothing.
    struct Target {
        uint32_t window = 0;
        QRect area;
        QRegion clip;
        bool operator==(const Target&) const = default;
    };

    // Null where pictures cannot be put this way: no X display named by DISPLAY, no shared
    // memory with its server (a remote one), or a server whose pixels are not 32-bit
    // little-endian.
    static std::shared_ptr<ScreenPresenter> open();
    // The same, and null unless that display is the one the application's windows are on.
    static std::shared_ptr<ScreenPresenter> forApplication();
    ~ScreenPresenter();
    ScreenPresenter(const ScreenPresenter&) = delete;
    ScreenPresenter& operator=(const ScreenPresenter&) = delete;

    // Any thread. Returns once no picture can land outside the new clip: the server has read
    // every picture put so far, so what covers the view can be painted over them.
    void setTarget(const Target& target);
    // libVLC's video thread: `picture` scaled to the area with `aspect` (width / height) kept,
    // black around it. False when nothing was put (no target, or the window is gone).
    bool present(const QImage& picture, double aspect);
    // Any thread: how many pictures present() has put.
    qint64 pictures() const { return pictures_; }

  private:
    explicit ScreenPresenter(xcb_connection_t* connection);
    bool suits(uint32_t window);
    bool reserve(size_t bytes);
    void release();
    void waitForServer();
    void takeErrors();

    std::atomic<qint64> pictures_{0};
    std::mutex mutex_;
    xcb_connection_t* connection_;
    Target target_;
    bool usable_ = false; // the target's window takes our pixels as they are
    uint32_t gc_ = 0;
    uint32_t segment_ = 0;
    uchar* memory_ = nullptr;
    size_t capacity_ = 0;
    bool broken_ = false; // the server refused our memory: never again
    QRect shown_;         // the picture's place the bars were last drawn around
    QSize shownIn_;       // and the area's size then (the length of a row in the memory)
    std::optional<unsigned> pending_; // a request answered once the last picture was read
    PictureScaler scaler_;
};
