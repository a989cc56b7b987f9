#pragma once

#include <atomic>
#include <cstdint>

// Program-wide state: LoadingElapsed is written by the UI thread's loading timer and read by the
// catalogue run to pace itself.

// Milliseconds since the loading window opened, in whole 100 ms ticks; never reset.
extern std::atomic<std::int32_t> LoadingElapsed;
