#include "playback/ScreenArea.h"

#include <QEvent>
#include <QWidget>

ScreenArea::ScreenArea(QWidget& view) : QObject(&view), view_(view) {
    watch();
}

ScreenPresenter::Target ScreenArea::target() const {
    ScreenPresenter::Target target;
    QWidget* host = view_.internalWinId() ? &view_ : view_.nativeParentWidget();
    if (!host || !host->internalWinId() || !view_.isVisible() || view_.devicePixelRatioF() != 1.0)
        return target;
    QRegion clip(view_.rect());
    // Each ancestor clips the view, and whatever is stacked above it on that ancestor covers it.
    for (QWidget* below = &view_; below != host; below = below->parentWidget()) {
        QWidget* parent = below->parentWidget();
        const QPoint toView = view_.mapFrom(parent, QPoint(0, 0));
        clip &= QRegion(parent->rect()).translated(toView);
        bool above = false;
        for (QObject* child : parent->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (child == below)
                above = true;
            else if (above && sibling && !sibling->isWindow() && sibling->isVisible())
                clip -= QRegion(sibling->geometry()).translated(toView);
        }
    }
    const QPoint offset = view_.mapTo(host, QPoint(0, 0));
    target.window = uint32_t(host->internalWinId());
    target.area = QRect(offset, view_.size());
    target.clip = clip.translated(offset);
    return target;
}

void ScreenArea::watch() {
    for (const QPointer<QWidget>& widget : std::as_const(watched_)) {
        if (widget)
            widget->removeEventFilter(this);
    }
    watched_.clear();
    for (QWidget* widget = &view_; widget; widget = widget->parentWidget()) {
        watched_ << widget;
        if (widget->isWindow())
            break;
        for (QObject* child : widget->parentWidget()->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (sibling && sibling != widget && !sibling->isWindow())
                watched_ << sibling;
        }
    }
    for (const QPointer<QWidget>& widget : std::as_const(watched_))
        widget->installEventFilter(this);
}

bool ScreenArea::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ParentChange:
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
        watch();
        Q_EMIT changed();
        break;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::ZOrderChange:
    case QEvent::WinIdChange:
        Q_EMIT changed();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
