#pragma once

#include <QIcon>

class QPalette;

enum class TransportIcon { Play, Pause, Stop, Volume, Muted, FullScreen, LeaveFullScreen };
inline constexpr int kTransportIconCount = 7;

// The transport bar's pictures, drawn in the palette's button text colour (greyed as the palette
// greys disabled text), so they read on a light bar and a dark one alike.
QIcon transportIcon(TransportIcon kind, const QPalette& palette);
