#pragma once

#include <QByteArray>
#include <QStringList>

// What a later start sends to the viewer that keeps the data folder, and the answer: the files
// or addresses to play (none: only come to the front), as one message of a known length, so
// that the receiver knows when it has all of it and never reads without bound.
namespace hand_over {

// A tag and the length (4 bytes, big-endian) before the UTF-8 JSON array of locations.
inline constexpr char kTag[] = "VTV1";
inline constexpr qsizetype kHeaderBytes = 8;
// Far above a few addresses of the player's greatest length; anything longer is no viewer's.
inline constexpr qsizetype kMaxBodyBytes = qsizetype(1) << 20;
// The receiver's answer once it has taken the message.
inline constexpr char kTaken = 'K';

QByteArray encode(const QStringList& locations);

struct Decoded {
    enum class State {
        Incomplete, // more bytes to come
        Complete,   // `locations` holds the message
        Invalid,    // not a hand-over, or too long: the sender is to be dropped
    } state = State::Incomplete;
    QStringList locations;
};

// Looks at everything received so far on one connection.
Decoded decode(const QByteArray& received);

} // namespace hand_over
