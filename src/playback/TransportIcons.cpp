#include "playback/TransportIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace {

// The pictures on a 16 x 16 grid; scaled for larger sizes.
void drawShape(QPainter& p, TransportIcon kind, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QPen line(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    QPainterPath path;
    switch (kind) {
    case TransportIcon::Play:
        path.moveTo(4, 2.5);
        path.lineTo(13.5, 8);
        path.lineTo(4, 13.5);
        path.closeSubpath();
        p.drawPath(path);
        return;
    case TransportIcon::Pause:
        p.drawRect(QRectF(3.5, 2.5, 3.5, 11));
        p.drawRect(QRectF(9, 2.5, 3.5, 11));
        return;
    case TransportIcon::Stop:
        p.drawRect(QRectF(3, 3, 10, 10));
        return;
    case TransportIcon::Volume:
    case TransportIcon::Muted:
        // The speaker, then waves or a cross.
        path.moveTo(1.5, 6);
        path.lineTo(4.5, 6);
        path.lineTo(8, 2.5);
        path.lineTo(8, 13.5);
        path.lineTo(4.5, 10);
        path.lineTo(1.5, 10);
        path.closeSubpath();
        p.drawPath(path);
        p.setBrush(Qt::NoBrush);
        p.setPen(line);
        if (kind == TransportIcon::Volume) {
            p.drawArc(QRectF(6, 5, 5, 6), -60 * 16, 120 * 16);
            p.drawArc(QRectF(6, 2.5, 8.5, 11), -60 * 16, 120 * 16);
        } else {
            p.drawLine(QPointF(10, 5.5), QPointF(14.5, 10.5));
            p.drawLine(QPointF(14.5, 5.5), QPointF(10, 10.5));
        }
        return;
    case TransportIcon::FullScreen:
    case TransportIcon::LeaveFullScreen: {
        // Four corners, pointing out to enter and in to leave.
        p.setBrush(Qt::NoBrush);
        p.setPen(line);
        const bool out = kind == TransportIcon::FullScreen;
        const qreal a = out ? 2 : 6, b = out ? 6 : 2; // the corner's tip and its arms' end
        const QPointF corners[4][3] = {
            {{a, b}, {a, a}, {b, a}},
            {{16 - b, a}, {16 - a, a}, {16 - a, b}},
            {{16 - a, 16 - b}, {16 - a, 16 - a}, {16 - b, 16 - a}},
            {{b, 16 - a}, {a, 16 - a}, {a, 16 - b}},
        };
        for (const auto& corner : corners)
            p.drawPolyline(corner, 3);
        return;
    }
    }
}

QPixmap draw(TransportIcon kind, const QColor& colour, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    drawShape(p, kind, colour);
    return pixmap;
}

} // namespace

QIcon transportIcon(TransportIcon kind, const QPalette& palette) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        icon.addPixmap(draw(kind, palette.color(QPalette::Active, QPalette::ButtonText), size),
                       QIcon::Normal);
        icon.addPixmap(draw(kind, palette.color(QPalette::Disabled, QPalette::ButtonText), size),
                       QIcon::Disabled);
    }
    return icon;
}
