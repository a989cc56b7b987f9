#pragma once

#include <QObject>

namespace playback {
Q_NAMESPACE

// What the player is doing, as the engine tracks it and the bar shows it.
enum class PlayerStatus {
    Idle,
    Connecting,
    Buffering,
    Playing,
    Paused,
    Stopped,
    CannotPlay,
    Reconnecting, // a stream that broke off is opened again, after a wait
};
Q_ENUM_NS(PlayerStatus)

// Why the player cannot play, as far as it can tell; what the user can do differs with each.
enum class PlayerError {
    None,
    CannotConnect, // nothing answers at the address's host and port
    NotFound,      // the server has no such programme (HTTP 404 or 410)
    ServerError,   // the server refused otherwise (another HTTP error)
    NoAnswer,      // connected, but no answer in time
    Format,        // something arrived that cannot be played
    BrokeOff,      // a stream that played broke off and could not be opened again
    NoSuchFile,    // a local file that is not there
    Unsupported,   // an address of a kind that cannot be opened at all
};
Q_ENUM_NS(PlayerError)

// Whether the player is on its way to playing or plays: what pausing acts on, and what the
// play/pause control offers to pause.
constexpr bool isRunning(PlayerStatus status) {
    return status == PlayerStatus::Playing || status == PlayerStatus::Buffering ||
           status == PlayerStatus::Connecting;
}

} // namespace playback

using playback::PlayerError;
using playback::PlayerStatus;
