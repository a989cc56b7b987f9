#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

// Program-wide state. ProgramDirectory is set once on the UI thread before the catalogue run's
// thread starts and only read afterwards; LoadingElapsed is written by the UI thread's loading
// timer and read by the run to pace itself.

// The folder of the program's own files (see programDataDirectory), no trailing separator.
const QString& ProgramDirectory();
void setProgramDirectory(const QString& directory);

// Milliseconds since the loading window opened, in whole 100 ms ticks; never reset.
extern std::atomic<std::int32_t> LoadingElapsed;
