#pragma once

#include <QString>

// An opt-in record of what the viewer did, for the end-to-end tests and the benchmark: once
// startTrace() names a file, each event is appended as "<monotonic ms> <event>" (UTF-8). Without
// it nothing is recorded.
void startTrace(const QString& path);
void trace(const QString& event);
