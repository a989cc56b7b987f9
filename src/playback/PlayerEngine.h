#pragma once

#include "playback/PlayerStatus.h"
#include "playback/StatusText.h"
#include "playback/VideoFrames.h"

#include <QObject>
#include <QString>
#include <chrono>

// What plays media for the playback object: opening, the transport, the sound and the pictures.
// The playback object owns the commands' rules and the state the views show; an engine only
// carries them out and reports what happened, on the thread it was made on.
class PlayerEngine : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Replaces whatever played before, starting `startMs` into the medium (0: at its start). The
    // empty text stops and clears.
    virtual void open(const QString& location, qint64 startMs) = 0;
    void open(const QString& location) { open(location, 0); }
    // Gets ready for an open() that is known to come; opens nothing.
    virtual void prepare() = 0;
    // Resumes, plays again what stopped, or opens a failed address anew.
    virtual void play() = 0;
    // Pauses what plays; nothing otherwise.
    virtual void pause() = 0;
    // Pauses what plays, resumes what is paused; otherwise as play().
    virtual void togglePause() = 0;
    virtual void stop() = 0;
    // Within the medium; at or past its end it ends as at its natural end. Ignored until the
    // length is known.
    virtual void seekTo(qint64 ms) = 0;
    // 0 to 100.
    virtual void setVolume(int volume) = 0;
    virtual void setMuted(bool muted) = 0;
    // Playback speed, 1 being normal.
    virtual void setRate(double rate) = 0;
    // No progress within this time after opening: stop and report that nothing answered.
    virtual void setOpenTimeout(std::chrono::milliseconds timeout) = 0;
    virtual std::chrono::milliseconds openTimeout() const = 0;

    virtual QString location() const = 0;
    // The status with what the status text needs.
    virtual StatusFacts facts() const = 0;
    virtual qint64 time() const = 0;   // ms
    virtual qint64 length() const = 0; // ms, 0 while unknown
    virtual bool seekable() const = 0;
    // The newest picture; a null image when there is none. Paint it and let it go.
    virtual VideoFrames::Frame currentFrame() = 0;
    // The same picture for another use than painting; the painter still gets it as fresh.
    virtual VideoFrames::Frame latestFrame() = 0;
    // Whether the pictures may be put on the screen from the video thread.
    virtual bool mayPresent() const = 0;
    // Puts the pictures on the screen from the video thread as they come; null stops it.
    virtual void setPresenter(std::shared_ptr<ScreenPresenter> presenter) = 0;

  Q_SIGNALS:
    // Also when only the reason or the attempt changes.
    void statusChanged(PlayerStatus status);
    void bufferPercentChanged(int percent);
    void timesChanged(qint64 time, qint64 length, bool seekable);
    // A new picture; of those a presenter put on the screen, only the first of what plays.
    void frameArrived();
    void frameCleared();
};
