#include "playback/TransportControls.h"

#include "playback/TransportAccessible.h"

#include <QAccessible>
#include <QKeyEvent>

TransportButton::TransportButton(QWidget* parent) : QToolButton(parent) {
    setFocusPolicy(Qt::TabFocus);
}

void TransportButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        event->ignore();
        return;
    default:
        QToolButton::keyPressEvent(event);
    }
}

TransportSlider::TransportSlider(Words words, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), words_(std::move(words)) {
    installTransportAccessibility();
    setFocusPolicy(Qt::TabFocus);
    // What follows playback is set with the signals blocked; what is left is the user's doing.
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        if (!QAccessible::isActive())
            return;
        QAccessibleEvent told(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&told);
    });
}

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent) {
    installTransportAccessibility();
}

void StatusLabel::announce(const QString& text) {
    announced_ = text;
    notifyStatusAnnounced(this);
}
