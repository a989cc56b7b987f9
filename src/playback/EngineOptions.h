#pragma once

#include "playback/OneShotTimer.h"

#include <QByteArray>
#include <chrono>

// How the player and its engine are made; fixed for the life of the process.
struct EngineOptions {
    static constexpr std::chrono::milliseconds DefaultOpenTimeout{20000};
    static constexpr std::chrono::milliseconds DefaultStallTimeout{10000};
    QByteArray audioOutput; // a libVLC audio output module; empty: libVLC's own choice
    // No progress within this time after opening: stop and report that nothing answered.
    std::chrono::milliseconds openTimeout = DefaultOpenTimeout;
    // A network stream whose clock stands still this long while playing has broken off.
    std::chrono::milliseconds stallTimeout = DefaultStallTimeout;
    TimerFactory timers; // empty: real timers
    // Every picture painted through the window, none put on the screen from the video thread
    // (to compare the two, say).
    bool videoThroughWindow = false;
};
