#pragma once

#include "playback/OneShotTimer.h"

#include <QList>
#include <QPointer>
#include <chrono>

// A timer whose time is up when the test says so.
class ManualTimer : public OneShotTimer {
    Q_OBJECT
  public:
    using OneShotTimer::OneShotTimer;
    void start(std::chrono::milliseconds delay) override;
    void stop() override { active_ = false; }
    bool isActive() const override { return active_; }
    // The time is up: the timer times out if it runs. False when it did not run.
    bool fire();
    // Every delay it was started with, in order.
    const QList<qint64>& starts() const { return starts_; }

  private:
    bool active_ = false;
    QList<qint64> starts_;
};

// Makes manual timers for the player and finds them again by name.
class ManualTimers {
  public:
    TimerFactory factory();
    // The newest timer of that name still alive; nullptr when none.
    ManualTimer* find(const QString& name) const;

  private:
    QList<QPointer<ManualTimer>> made_;
};
