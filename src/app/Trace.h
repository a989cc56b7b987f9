#pragma once

#include <QString>

// An opt-in record of what the viewer did, for the end-to-end tests and the benchmark: when
// VELMORA_TRACE names a file, each event is appended as "<monotonic ms> <event>" (UTF-8).
// Without it nothing is recorded.
void trace(const QString& event);
