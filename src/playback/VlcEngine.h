#pragma once

#include "playback/EngineOptions.h"
#include "playback/PlayerStatus.h"
#include "playback/VideoFrames.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct libvlc_instance_t;
struct libvlc_media_player_t;
struct libvlc_media_t;
struct libvlc_event_t;

// One libVLC media player and everything it owns: the media, the frame buffers and the state that
// the transport bar shows. The widget sends intents; only this class talks to libVLC. libVLC calls
// back on its own threads; those callbacks touch nothing but the frame buffers (under a mutex) and
// post everything else to this object's thread.
class VlcEngine : public QObject {
    Q_OBJECT
  public:
    using Status = PlayerStatus;

    using Frame = VideoFrames::Frame;

    static constexpr int DefaultVolume = 50;

    explicit VlcEngine(EngineOptions options = {}, QObject* parent = nullptr);
    ~VlcEngine() override;

    // Replaces whatever played before. The empty text stops and clears. Until libVLC's player
    // exists the location waits for it; whatever was written last is what then opens.
    void open(const QString& location);
    // Starts making libVLC's player, off the UI thread, ahead of an open() that is known to come;
    // opens nothing. The first open() starts it too.
    void prepare();
    // Runs on the making thread before libVLC is loaded; tests hold the making open with it.
    void setCreationGate(std::function<void()> gate) { creationGate_ = std::move(gate); }
    bool playerReady() const { return bool(player_); }
    QString location() const { return location_; }

    Status status() const { return status_; }
    int bufferPercent() const { return bufferPercent_; }

    void togglePause();
    void play();
    void stop();
    void seekTo(qint64 ms);
    void seekBy(qint64 ms);
    qint64 time() const { return time_; }
    qint64 length() const { return length_; }
    bool seekable() const { return seekable_; }

    void setVolume(int volume);
    int volume() const { return volume_; }
    void setMuted(bool muted);
    bool muted() const { return muted_; }

    // No progress within this time after opening: stop and report CannotPlay.
    void setOpenTimeout(std::chrono::milliseconds timeout) { openTimeout_ = timeout; }
    std::chrono::milliseconds openTimeout() const { return openTimeout_; }

    // The newest picture; a null image when there is none (audio only, stopped, cleared). Paint it
    // and let it go: its pixels are drawn into again once a newer picture has been taken.
    Frame currentFrame();

  Q_SIGNALS:
    void statusChanged(PlayerStatus status);
    void bufferPercentChanged(int percent);
    void timesChanged(qint64 time, qint64 length, bool seekable);
    void volumeChanged(int volume);
    void mutedChanged(bool muted);
    void frameArrived();
    void frameCleared();

  private:
    struct Event {
        int type = 0;
        float cache = 0; // buffering percent
        int track = -1;  // kind of an added stream
    };

    static void OnVlcEvent(const libvlc_event_t* event, void* opaque);

    void handleEvent(quint64 generation, Event event);
    void onPlayerCreated(std::shared_ptr<libvlc_instance_t> instance,
                         std::shared_ptr<libvlc_media_player_t> player);
    void openNow();
    void handleFrame();
    void onOpenTimeout();
    void pollTimes();

    // Stops libVLC and drops every event and frame of what played so far.
    void halt();
    void start();
    void clearFrames();
    void fail();
    bool retryAsMmsh();
    void updateStatus();
    void setStatus(Status status);
    void applyAudio();
    void readVideoGeometry();

    enum class Creation { NotStarted, Running, Done };
    Creation creation_ = Creation::NotStarted;
    std::thread creator_;
    std::function<void()> creationGate_;
    bool openPending_ = false; // location_ waits for the player

    std::shared_ptr<libvlc_instance_t> instance_;
    std::shared_ptr<libvlc_media_player_t> player_;
    std::unique_ptr<libvlc_media_t, void (*)(libvlc_media_t*)> media_;

    QString location_;
    Status status_ = Status::Idle;
    bool opened_ = false;     // libVLC has the input open: what follows is buffering and playing
    bool played_ = false;     // a picture was shown or the clock moved
    bool hasStreams_ = false; // an audio or video stream turned up
    bool triedMmsh_ = false;
    bool paused_ = false;
    bool failed_ = false;
    int bufferPercent_ = 0;
    qint64 time_ = 0;
    qint64 length_ = 0;
    bool seekable_ = false;
    int volume_ = DefaultVolume;
    bool muted_ = false;
    double aspect_ = 0; // of the picture as shown, 0 when the track does not say

    const EngineOptions options_;
    std::chrono::milliseconds openTimeout_;
    QTimer openWatchdog_;
    QTimer timePoll_;

    // Bumped whenever libVLC is stopped on purpose: events posted before carry the old value and
    // are dropped.
    std::atomic<quint64> generation_{0};

    VideoFrames frames_;
};
