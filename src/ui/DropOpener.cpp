#include "ui/DropOpener.h"

#include "playback/ExternalLocation.h"

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

namespace {

// Accepted as a copy, or a link, never as a move: a file manager deletes what was moved.
bool acceptWithoutMove(QDropEvent& event) {
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event.possibleActions() & action) {
            event.setDropAction(action);
            event.accept();
            return true;
        }
    }
    event.ignore();
    return false;
}

bool carriesLocation(const QDropEvent& event) {
    return event.mimeData() && !locationFromDrop(*event.mimeData()).isEmpty();
}

} // namespace

DropOpener::DropOpener(QWidget& target, std::function<void(const QString&)> open)
    : QObject(&target), open_(std::move(open)) {
    target.setAcceptDrops(true);
    target.installEventFilter(this);
}

bool DropOpener::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (carriesLocation(*drag))
            acceptWithoutMove(*drag);
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (carriesLocation(*drop) && acceptWithoutMove(*drop))
            open_(locationFromDrop(*drop->mimeData()));
        else
            drop->ignore();
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
