#include "ui/WindowPlacement.h"

#include <algorithm>

namespace {

qint64 area(const QRect& rect) {
    return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height();
}

bool canBeTakenHoldOf(const QRect& window, const QList<QRect>& screens) {
    const QRect top(window.x(), window.y(), window.width(), WindowPlacement::kGrip.height());
    const int wanted = std::min(window.width(), WindowPlacement::kGrip.width());
    for (const QRect& screen : screens) {
        const QRect shown = top & screen;
        if (shown.width() >= wanted && shown.height() >= top.height())
            return true;
    }
    return false;
}

} // namespace

QRect WindowPlacement::place(const QRect& remembered, QSize minimum, const QList<QRect>& screens) {
    QRect window(remembered.topLeft(), remembered.size().expandedTo(minimum));
    if (screens.isEmpty())
        return window;
    QRect screen = screens.front();
    qint64 most = 0;
    for (const QRect& candidate : screens) {
        if (area(window & candidate) > most) {
            most = area(window & candidate);
            screen = candidate;
        }
    }
    // A window from a larger screen fits this one, though never below its least size.
    window.setSize(window.size().boundedTo(screen.size()).expandedTo(minimum));
    if (canBeTakenHoldOf(window, screens))
        return window;
    window.moveCenter(screen.center());
    // Its top edge stays on the screen even when its least size is more than the screen's.
    if (window.top() < screen.top())
        window.moveTop(screen.top());
    if (window.left() < screen.left())
        window.moveLeft(screen.left());
    return window;
}
