#pragma once

#include <QObject>

namespace playback {
Q_NAMESPACE

// What the player is doing, as the engine tracks it and the bar shows it.
enum class PlayerStatus { Idle, Connecting, Buffering, Playing, Paused, Stopped, CannotPlay };
Q_ENUM_NS(PlayerStatus)

} // namespace playback

using playback::PlayerStatus;
