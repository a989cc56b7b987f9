#pragma once

#include <QString>
#include <QtGlobal>
#include <algorithm>

// The advertisement's countdown: five seconds, one tick a second. The step is the count the
// original design keeps: a selection sets it to 1, each tick adds one, and the programme starts
// at the tick that makes it 6. Pure arithmetic on a monotonic clock's readings; the main window
// drives it from its timer 时钟1.
class AdCountdown {
  public:
    static constexpr int Seconds = 5;
    static constexpr int TickMs = 1000;

    void start(qint64 nowMs) {
        step_ = 1;
        startedMs_ = nowMs;
    }
    // The timer has ticked at `nowMs`; the seconds left, as the digit shows them. A tick moves the
    // count on by one, and by more when the clock says more seconds have passed: the timer loses
    // its ticks while the window's thread is held (the web engine does so while a crashed page
    // goes away), and a countdown counted in ticks would then last nine seconds instead of five.
    int tick(qint64 nowMs) {
        const qint64 passed = (nowMs - startedMs_) / TickMs;
        step_ = static_cast<int>(
            std::max<qint64>(step_ + 1, std::min<qint64>(1 + passed, Seconds + 1)));
        return remaining();
    }
    // 5 right after start(), 0 once finished.
    int remaining() const { return Seconds + 1 - step_; }
    // True exactly at the tick that ends the count.
    bool finished() const { return step_ == Seconds + 1; }
    int step() const { return step_; }

    // What the countdown's two labels read as ("广告还有  秒" and the digit in its gap), as one
    // text for a screen reader.
    static QString spoken(int seconds) { return QStringLiteral("广告还有 %1 秒").arg(seconds); }

  private:
    int step_ = 0;
    qint64 startedMs_ = 0;
};
