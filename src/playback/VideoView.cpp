#include "playback/VideoView.h"

#include "playback/PlaybackController.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

VideoView::VideoView(PlaybackController& playback, QWidget* parent)
    : QWidget(parent), playback_(playback) {
    setObjectName(QStringLiteral("videoView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(16, 16);
    connect(&playback, &PlaybackController::frameArrived, this, qOverload<>(&QWidget::update));
    connect(&playback, &PlaybackController::frameCleared, this, qOverload<>(&QWidget::update));
}

void VideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const VideoFrames::Frame frame = playback_.currentFrame();
    if (frame.image.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    const QSize shown =
        QSize(qRound(frame.aspect * 10000), 10000).scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                       shown);
    // Only the bars: blackening the whole view first would write every pixel twice a frame.
    for (const QRect& bar : QRegion(rect()).subtracted(target))
        painter.fillRect(bar, Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame.image);
    if (frame.fresh) {
        ++paintedFrames_;
        Q_EMIT framePainted();
    }
}

void VideoView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Q_EMIT doubleClicked();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}
