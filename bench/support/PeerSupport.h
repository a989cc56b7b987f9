#pragma once

#include <QRect>
#include <QString>

// Where the benchmark clip's picture is on the screen, from a grab of the whole screen: the clip
// is colour bars from a red one on the left to a cyan one on the right, over its whole height, and
// the root window is black (-br). Empty when no such picture shows.
QRect clipPictureOnScreen();

// The X server the benchmark runs on ($DISPLAY): its CPU is every player's drawing too.
qint64 displayServerPid();

// The 1-minute load average.
double loadAverage();
