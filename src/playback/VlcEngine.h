#pragma once

#include "playback/EngineOptions.h"
#include "playback/PlayerStatus.h"
#include "playback/ReconnectPlan.h"
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
class FailureProbe;
class OneShotTimer;

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
    // As open(), starting `startMs` into the medium (0: at its start).
    void open(const QString& location, qint64 startMs);
    // Starts making libVLC's player, off the UI thread, ahead of an open() that is known to come;
    // opens nothing. The first open() starts it too.
    void prepare();
    // Runs on the making thread before libVLC is loaded; tests hold the making open with it.
    void setCreationGate(std::function<void()> gate) { creationGate_ = std::move(gate); }
    bool playerReady() const { return bool(player_); }
    QString location() const { return location_; }

    Status status() const { return status_; }
    int bufferPercent() const { return bufferPercent_; }
    // Why it cannot play, in CannotPlay; the server's HTTP status when it gave one.
    PlayerError error() const { return error_; }
    int httpStatus() const { return httpStatus_; }
    // 1 to 3 while Reconnecting.
    int reconnectAttempt() const { return reconnect_.attempt(); }

    // Pauses what plays, resumes what is paused; otherwise as play().
    void togglePause();
    // Resumes, plays again what stopped, or opens a failed address anew.
    void play();
    void stop();
    // Within the medium; at or past its end it ends as at its natural end. Ignored until the
    // length is known.
    void seekTo(qint64 ms);
    void seekBy(qint64 ms);
    qint64 time() const { return time_; }
    qint64 length() const { return length_; } // 0 while unknown
    bool seekable() const { return seekable_; }

    void setVolume(int volume);
    int volume() const { return volume_; }
    void setMuted(bool muted);
    bool muted() const { return muted_; }

    // No progress within this time after opening: stop and report that nothing answered.
    void setOpenTimeout(std::chrono::milliseconds timeout) { openTimeout_ = timeout; }
    std::chrono::milliseconds openTimeout() const { return openTimeout_; }

    // The newest picture; a null image when there is none (audio only, stopped, cleared). Paint it
    // and let it go: its pixels are drawn into again once a newer picture has been taken.
    Frame currentFrame();

  Q_SIGNALS:
    // Also when only the reason or the attempt changes.
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

    // Commands (VlcEngine.cpp).
    void onPlayerCreated(std::shared_ptr<libvlc_instance_t> instance,
                         std::shared_ptr<libvlc_media_player_t> player);
    void openNow();
    // Hands libVLC a medium for `mrl`, from the start time of the open unless told otherwise.
    bool load(const QString& mrl, bool fromStartTime = true);
    libvlc_media_t* makeMedia(const QString& mrl, bool fromStartTime) const;
    void start();
    // Stops libVLC and drops every event, frame and wait of what played so far.
    void halt();
    bool retryAsMmsh();
    void resume();
    void seekSettled();
    void handOverSeek(qint64 ms);
    void clearFrames();
    void applyAudio();

    // What libVLC reports (VlcEngineEvents.cpp).
    void handleEvent(quint64 generation, Event event);
    void handleFrame();
    void onOpenTimeout();
    void pollTimes();
    void updateStatus();
    void setStatus(Status status);
    void readVideoGeometry();
    // Played to the end, or broke off short of it.
    void ended();
    void finish();

    // Failures and their recovery (VlcEngineRecovery.cpp).
    // Nothing played: the cause, when known already, or one found out.
    void openFailed(PlayerError known = PlayerError::None);
    void diagnose();
    void fail(PlayerError error, int httpStatus = 0);
    void dropped(qint64 at);
    void scheduleReconnect();
    void reconnectNow();
    void onStall();
    bool isNetwork() const;

    enum class Creation { NotStarted, Running, Done };
    Creation creation_ = Creation::NotStarted;
    std::thread creator_;
    std::function<void()> creationGate_;
    bool openPending_ = false; // location_ waits for the player

    std::shared_ptr<libvlc_instance_t> instance_;
    std::shared_ptr<libvlc_media_player_t> player_;
    std::unique_ptr<libvlc_media_t, void (*)(libvlc_media_t*)> media_;

    QString location_;
    qint64 startMs_ = 0; // where the open asked to start
    QString openedAs_;   // what libVLC was given: the location, or its MMS-over-HTTP form
    Status status_ = Status::Idle;
    PlayerError error_ = PlayerError::None;
    int httpStatus_ = 0;
    bool opened_ = false;     // libVLC has the input open: what follows is buffering and playing
    bool played_ = false;     // a picture was shown or the clock moved
    bool hasStreams_ = false; // an audio or video stream turned up
    bool triedMmsh_ = false;
    bool paused_ = false;
    bool failed_ = false;
    bool attempting_ = false;    // this open is a reconnect attempt that has not played yet
    bool resumePending_ = false; // the attempt is yet to be sent to where the stream broke off
    qint64 attemptFrom_ = -1;    // where the attempt started playing
    ReconnectPlan reconnect_;
    qint64 droppedLength_ = 0; // shown while reconnecting
    int bufferPercent_ = 0;
    qint64 time_ = 0;
    qint64 pendingSeek_ = -1;   // made while paused, for when play resumes
    qint64 seekShown_ = -1;     // handed to libVLC, shown until libVLC's reading catches up
    int seekShownPolls_ = 0;    // readings left before libVLC's own is taken whatever it says
    bool seekSettling_ = false; // a network seek made while playing has not refilled the buffer
    bool pauseWanted_ = false;  // pressed meanwhile
    qint64 length_ = 0;
    bool seekable_ = false;
    int volume_ = DefaultVolume;
    bool muted_ = false;
    double aspect_ = 0; // of the picture as shown, 0 when the track does not say

    const EngineOptions options_;
    std::chrono::milliseconds openTimeout_;
    QTimer openWatchdog_;
    QTimer timePoll_;
    QTimer stallWatchdog_;
    OneShotTimer* reconnectTimer_;
    std::unique_ptr<FailureProbe> probe_;

    // Bumped whenever libVLC is stopped on purpose: events posted before carry the old value and
    // are dropped.
    std::atomic<quint64> generation_{0};

    VideoFrames frames_;
};
