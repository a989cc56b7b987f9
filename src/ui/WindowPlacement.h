#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Where a remembered window area (frame excluded) goes on the screens there are now, given each
// screen's available area, the primary first. The size is at least `minimum` and, where the
// screen allows, at most the screen it lands on. A place whose top edge, where the window is
// taken hold of, shows less than kGrip on every screen (a monitor unplugged since, another
// layout, a file edited by hand) is given up for the middle of the screen the window overlaps
// most, or of the primary when it overlaps none. Pure geometry.
struct WindowPlacement {
    static constexpr QSize kGrip{100, 30};
    static QRect place(const QRect& remembered, QSize minimum, const QList<QRect>& screens);
};
