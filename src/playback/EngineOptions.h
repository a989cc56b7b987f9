#pragma once

#include <QByteArray>
#include <chrono>

// How the engine is made; fixed for the life of the process.
struct EngineOptions {
    static constexpr std::chrono::milliseconds DefaultOpenTimeout{20000};
    QByteArray audioOutput; // a libVLC audio output module; empty: libVLC's own choice
    // No progress within this time after opening: stop and report CannotPlay.
    std::chrono::milliseconds openTimeout = DefaultOpenTimeout;
};
