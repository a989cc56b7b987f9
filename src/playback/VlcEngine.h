#pragma once

#include "playback/EngineOptions.h"
#include "playback/PlayerEngine.h"
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

class FailureProbe;
class OneShotTimer;

// One libVLC media player and everything it owns: the media, the frame buffers and what one
// opening of a medium has learned. libVLC calls back on its own threads; those callbacks touch
// nothing but the frame buffers (under a mutex) and post everything else to this object's thread.
class VlcEngine : public PlayerEngine {
    Q_OBJECT
  public:
    using Status = PlayerStatus;
    using Frame = VideoFrames::Frame;

    explicit VlcEngine(EngineOptions options = {}, QObject* parent = nullptr);
    ~VlcEngine() override;

    // Until libVLC's player exists the location waits for it; whatever was written last is what
    // then opens.
    void open(const QString& location, qint64 startMs) override;
    using PlayerEngine::open;
    // Starts making libVLC's player, off the UI thread; the first open() starts it too.
    void prepare() override;
    // Runs on the making thread before libVLC is loaded; tests hold the making open with it.
    void setCreationGate(std::function<void()> gate) { creationGate_ = std::move(gate); }
    bool playerReady() const { return bool(player_); }
    QString location() const override { return location_; }

    Status status() const { return status_; }
    StatusFacts facts() const override {
        return {status_, error_, httpStatus_, now_.bufferPercent, reconnect_.attempt()};
    }

    void togglePause() override;
    void play() override;
    void pause() override;
    void stop() override;
    void seekTo(qint64 ms) override;
    qint64 time() const override { return now_.time; }
    qint64 length() const override { return now_.length; }
    bool seekable() const override { return now_.seekable; }

    void setVolume(int volume) override;
    void setMuted(bool muted) override;
    void setRate(double rate) override;

    void setOpenTimeout(std::chrono::milliseconds timeout) override { openTimeout_ = timeout; }
    std::chrono::milliseconds openTimeout() const override { return openTimeout_; }

    Frame currentFrame() override;
    Frame latestFrame() override;
    bool mayPresent() const override { return !options_.videoThroughWindow; }
    void setPresenter(std::shared_ptr<ScreenPresenter> presenter) override;

  private:
    struct Event {
        int type = 0;
        float cache = 0; // buffering percent
        int track = -1;  // kind of an added stream
    };

    // What the opening under way has learned; a new opening, a stop or a failure starts it anew.
    struct Opening {
        bool pending = false;    // the location waits for libVLC's player to be made
        bool opened = false;     // libVLC has the input open: what follows is buffering and playing
        bool played = false;     // a picture was shown or the clock moved
        bool hasStreams = false; // an audio or video stream turned up
        bool paused = false;
        bool failed = false;
        bool attempting = false;    // a reconnect attempt that has not played yet
        bool resumePending = false; // the attempt is yet to be sent to where the stream broke off
        qint64 attemptFrom = -1;    // where the attempt started playing
        int bufferPercent = 0;
        qint64 time = 0;
        qint64 length = 0;
        bool seekable = false;
        qint64 pendingSeek = -1;   // made while paused, for when play resumes
        qint64 seekShown = -1;     // handed to libVLC, shown until libVLC's reading catches up
        int seekShownPolls = 0;    // readings left before libVLC's own is taken whatever it says
        bool seekSettling = false; // a network seek made while playing has not refilled the buffer
        bool pauseWanted = false;  // pressed meanwhile
        double aspect = 0;         // of the picture as shown, 0 when the track does not say
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
    bool filling() const;
    void bufferFilled();
    void handOverSeek(qint64 ms);
    void clearFrames();
    void applyAudio();

    // What libVLC reports (VlcEngineEvents.cpp).
    void handleEvent(quint64 generation, Event event);
    void handleFrame();
    void onOpenTimeout();
    void pollTimes();
    // The status the opening's facts make.
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

    std::shared_ptr<libvlc_instance_t> instance_;
    std::shared_ptr<libvlc_media_player_t> player_;
    std::unique_ptr<libvlc_media_t, void (*)(libvlc_media_t*)> media_;

    // What was asked for, kept across the reconnects of one address.
    QString location_;
    qint64 startMs_ = 0; // where the open asked to start
    QString openedAs_;   // what libVLC was given: the location, or its MMS-over-HTTP form
    bool triedMmsh_ = false;
    ReconnectPlan reconnect_;
    qint64 droppedLength_ = 0; // shown while reconnecting

    // What was last reported.
    Status status_ = Status::Idle;
    PlayerError error_ = PlayerError::None;
    int httpStatus_ = 0;
    Opening now_;

    // The sound, kept across media.
    int volume_ = 50;
    bool muted_ = false;
    double rate_ = 1;

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
