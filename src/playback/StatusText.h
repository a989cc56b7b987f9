#pragma once

#include "playback/PlayerStatus.h"

#include <QString>

// What the player is doing, as the bar says it.
struct StatusFacts {
    PlayerStatus status = PlayerStatus::Idle;
    PlayerError error = PlayerError::None;
    int httpStatus = 0;
    int bufferPercent = 0;
    int reconnectAttempt = 0;
};

// The status text. A failure names its cause, and says so when trying again can help.
QString statusText(const StatusFacts& facts);
