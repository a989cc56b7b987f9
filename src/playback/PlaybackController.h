#pragma once

#include "playback/EngineOptions.h"
#include "playback/PlayerEngine.h"
#include "playback/PlayerStatus.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <chrono>
#include <memory>

// The one object that plays. Every view and every remote control (the player widget, its bar,
// keys and context menu, the library, the desktop's media controls) sends its commands here and
// follows the state from here; the engine behind it carries them out. Not a widget: it lives as
// long as the program and is handed to whatever shows or controls playback.
class PlaybackController : public QObject {
    Q_OBJECT
    Q_PROPERTY(PlayerStatus status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(QString location READ location NOTIFY locationChanged)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(qint64 position READ position NOTIFY positionChanged)
    Q_PROPERTY(qint64 length READ length NOTIFY lengthChanged)
    Q_PROPERTY(bool seekable READ seekable NOTIFY seekableChanged)
    Q_PROPERTY(int volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(bool muted READ isMuted WRITE setMuted NOTIFY mutedChanged)
    Q_PROPERTY(double rate READ rate WRITE setRate NOTIFY rateChanged)
  public:
    // The longest address the player takes. A longer one is refused with a status text: cut
    // short, it would be another address.
    static constexpr qsizetype kMaxUrlLength = 32767;
    static constexpr qint64 kSeekStepMs = 10000;
    static constexpr int kVolumeStep = 5;
    static constexpr int kDefaultVolume = 50;
    static constexpr double kMinRate = 0.5;
    static constexpr double kMaxRate = 2.0;
    // The speeds the player's keys step through, slowest first.
    static constexpr std::array<double, 6> kRateSteps{0.5, 0.75, 1, 1.25, 1.5, 2};
    static constexpr int kNoticeMs = 3000;

    // Plays with libVLC.
    explicit PlaybackController(EngineOptions options = {}, QObject* parent = nullptr);
    PlaybackController(std::unique_ptr<PlayerEngine> engine, QObject* parent = nullptr);
    ~PlaybackController() override;

    // Opens and plays `location` from `startMs`, replacing whatever played; the empty text stops
    // and clears. `title` names what plays (a programme's title); empty, the location's own name.
    // Each opening starts at normal speed.
    void open(const QString& location, qint64 startMs = 0, const QString& title = {});
    // An address is about to be opened: loads the engine meanwhile so that playing starts at once.
    void prepare();
    // Resumes, plays again what stopped, or tries a failed address anew.
    void play();
    // Pauses what runs (isRunning); nothing otherwise.
    void pause();
    void togglePause();
    void stop();
    void seekTo(qint64 ms);
    // From the position last shown, so that presses in quick succession add up.
    void seekBy(qint64 ms);
    // Clamped to 0..100.
    void setVolume(int volume);
    void setMuted(bool muted);
    // Clamped to kMinRate..kMaxRate.
    void setRate(double rate);
    // To the next of kRateSteps above the speed now (`steps` > 0) or below it (< 0), staying at
    // either end, and says the speed in the bar for a moment. Only while something is open: the
    // next opening is at normal speed anyway.
    void stepRate(int steps);
    // Shows `text` in place of the status text for `ms`, or until another location is opened;
    // the empty text takes a notice back.
    void showNotice(const QString& text, int ms);

    PlayerStatus status() const;
    PlayerError error() const; // why it cannot play, in CannotPlay
    QString statusText() const;
    QString location() const;
    QString title() const { return title_; }
    qint64 position() const;
    qint64 length() const; // 0 while unknown
    bool seekable() const;
    int volume() const { return volume_; }
    bool isMuted() const { return muted_; }
    double rate() const { return rate_; }
    bool hasMedia() const { return !location().isEmpty(); }

    void setOpenTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds openTimeout() const;

    // For the view that paints the pictures.
    VideoFrames::Frame currentFrame();
    // The newest picture for a snapshot, leaving it fresh for the view.
    VideoFrames::Frame latestFrame();
    PlayerEngine& engine() { return *engine_; }

  Q_SIGNALS:
    // When the status changes, and when a notice or a refusal takes the status text's place or
    // gives it back.
    void statusChanged(PlayerStatus status);
    void statusTextChanged(const QString& text);
    void locationChanged(const QString& location);
    void titleChanged(const QString& title);
    // Each open(), once the location and the title are set: a new opening, also of the location
    // that played before.
    void opened(const QString& location);
    // Every report of the times, changed or not (ms; length 0 while unknown).
    void timesChanged(qint64 position, qint64 length);
    void positionChanged(qint64 position);
    void lengthChanged(qint64 length);
    void seekableChanged(bool seekable);
    // A seek the user asked for was handed over: the position jumps to `position`.
    void seeked(qint64 position);
    void volumeChanged(int volume);
    void mutedChanged(bool muted);
    void rateChanged(double rate);
    void frameArrived();
    void frameCleared();

  private:
    void onTimes(qint64 time, qint64 length, bool seekable);
    void announceStatus();

    std::unique_ptr<PlayerEngine> engine_;
    QString title_;
    QString refusal_; // why the last location was not played; empty when it was
    QString notice_;  // shown instead of the status while noticeTimer_ runs
    QTimer noticeTimer_;
    int volume_ = kDefaultVolume;
    bool muted_ = false;
    double rate_ = 1;
    // As last told, to tell changes apart from repeated reports.
    qint64 position_ = 0;
    qint64 length_ = 0;
    bool seekable_ = false;
};
