#pragma once

// The advertisement's countdown: five seconds, one tick a second. The step is the count the
// original design keeps: a selection sets it to 1, each tick adds one, and the programme starts
// at the tick that makes it 6. Pure arithmetic; the main window drives it from its timer 时钟1.
class AdCountdown {
  public:
    static constexpr int Seconds = 5;
    static constexpr int TickMs = 1000;

    void start() { step_ = 1; }
    // One second has passed; the seconds left, as the digit shows them.
    int tick() {
        ++step_;
        return remaining();
    }
    // 5 right after start(), 0 once finished.
    int remaining() const { return Seconds + 1 - step_; }
    // True exactly at the tick that ends the count.
    bool finished() const { return step_ == Seconds + 1; }
    int step() const { return step_; }

  private:
    int step_ = 0;
};
