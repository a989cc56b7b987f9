#pragma once

#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <optional>

// How a network stream that broke off while playing is opened again: up to three times, after
// waits of 1, 2 and 4 s, at the position where it broke off when it could seek. The plan holds
// until a second of the programme has played past that position: an attempt that connects but
// breaks off again at the same place is one of the three, so a server that always breaks off
// there is given up on. Pure bookkeeping; the engine keeps the time and opens.
class ReconnectPlan {
  public:
    static constexpr int MaxAttempts = 3;
    static constexpr std::chrono::milliseconds FirstWait{1000};
    static constexpr qint64 RecoveredAfterMs = 1000;

    // A stream broke off `at` ms into the medium (-1: it cannot seek there). During a plan, an
    // attempt that got further moves the position on.
    void brokeOff(qint64 at) {
        if (!active()) {
            attempt_ = 0;
            resumeAt_ = at;
        } else if (resumeAt_ >= 0) {
            resumeAt_ = std::max(resumeAt_, at);
        }
    }
    // The attempt plays at `time` ms, having started at `from`: whether it has recovered.
    bool recovered(qint64 time, qint64 from) const {
        return time >= std::max(from, resumeAt_) + RecoveredAfterMs;
    }
    // Counts the next attempt; its wait, or nothing when every attempt has been used, which ends
    // the plan.
    std::optional<std::chrono::milliseconds> next() {
        if (attempt_ >= MaxAttempts) {
            end();
            return std::nullopt;
        }
        return FirstWait * (1 << attempt_++);
    }
    void end() {
        attempt_ = -1;
        resumeAt_ = -1;
    }

    bool active() const { return attempt_ >= 0; }
    int attempt() const { return attempt_ > 0 ? attempt_ : 0; } // 1 to 3 once counted
    qint64 resumeAt() const { return resumeAt_; }

  private:
    int attempt_ = -1;
    qint64 resumeAt_ = -1;
};

// Whether a network stream that ended at `time` ms broke off rather than reaching the end of
// the programme: its length was known and it ended short of it by more than a poll's slack.
inline bool endedShort(qint64 time, qint64 length) {
    constexpr qint64 kSlackMs = 2000;
    return length > 0 && time + kSlackMs < length;
}
