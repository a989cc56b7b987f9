#pragma once

#include <QImage>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class ScreenPresenter;
struct libvlc_media_player_t;

// The pictures libVLC decodes, handed from its video thread to the UI thread: libVLC draws into
// one buffer, the newest whole picture waits in a second, the painter reads a third. libVLC's
// callbacks touch nothing else.
class VideoFrames {
  public:
    // A decoded picture ready to paint; the image keeps its memory allocated.
    struct Frame {
        QImage image;           // wraps the buffer, RGB32
        double aspect = 1;      // width / height to show it at
        bool fresh = false;     // not handed out before
        bool presented = false; // already put on the screen by the presenter
    };

    VideoFrames();
    ~VideoFrames();
    VideoFrames(const VideoFrames&) = delete;
    VideoFrames& operator=(const VideoFrames&) = delete;

    // Routes the player's video into these buffers. `onPicture` runs on libVLC's video thread,
    // at most once until pictureHandled(): post from it, never paint. A picture the presenter put
    // on the screen calls it only when it is the first since clear() or a new format.
    void attach(libvlc_media_player_t* player, std::function<void()> onPicture);

    // Forgets the picture shown; the next one comes from what plays next.
    void clear();
    // The newest picture, at `aspect` (0: the buffer's own); a null image when there is none.
    // Paint it and let it go: its pixels are drawn into again once a newer one has been taken.
    Frame current(double aspect);
    // The same picture for another use than painting (a snapshot): the painter still gets it as
    // fresh.
    Frame latest(double aspect);
    // Lets the next picture call `onPicture` again.
    void pictureHandled() { posted_ = false; }
    // Puts each picture on the screen from libVLC's video thread as it arrives; null stops it.
    void setPresenter(std::shared_ptr<ScreenPresenter> presenter);
    // Width / height to present at; 0 for the buffer's own.
    void setAspect(double aspect) { aspect_ = aspect; }

  private:
    struct Buffer;

    static unsigned OnVideoFormat(void** opaque, char* chroma, unsigned* width, unsigned* height,
                                  unsigned* pitches, unsigned* lines);
    static void* OnVideoLock(void* opaque, void** planes);
    static void OnVideoDisplay(void* opaque, void* picture);
    Frame take(double aspect, bool painting);
    // With mutex_ held: nothing of what played before is shown or told.
    void forget();

    std::function<void()> onPicture_;
    std::mutex mutex_;
    std::shared_ptr<Buffer> back_;  // libVLC draws here (its vout thread only)
    std::shared_ptr<Buffer> ready_; // the newest whole picture
    std::shared_ptr<Buffer> front_; // being painted
    bool readyFresh_ = false;       // ready_ holds a picture not yet painted
    bool showing_ = false;          // front_ holds a picture of what plays now
    bool frontUnpainted_ = false;   // front_ was taken by latest() and not painted yet
    bool readyPresented_ = false;   // ready_ is on the screen already
    bool frontPresented_ = false;
    bool announce_ = true; // the next picture put on the screen wakes the window's thread
    std::shared_ptr<ScreenPresenter> presenter_;
    std::atomic<double> aspect_{0};
    std::atomic<bool> posted_{false};
};
