#include "playback/VideoView.h"

#include "playback/PlaybackController.h"
#include "playback/ScreenArea.h"
#include "playback/ScreenPresenter.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

VideoView::VideoView(PlaybackController& playback, QWidget* parent)
    : QWidget(parent), playback_(playback) {
    setObjectName(QStringLiteral("videoView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(16, 16);
    connect(&playback, &PlaybackController::frameArrived, this, &VideoView::pictureArrived);
    connect(&playback, &PlaybackController::frameCleared, this, qOverload<>(&QWidget::update));
    if (playback.engine().mayPresent())
        presenter_ = ScreenPresenter::forApplication();
    if (presenter_) {
        area_ = new ScreenArea(*this);
        connect(area_, &ScreenArea::changed, this, &VideoView::retarget);
        playback.engine().setPresenter(presenter_);
    }
}

// The engine may outlive the view; the presenter it keeps then has nowhere to draw. The area goes
// first: the widget's own teardown sends it events it would pass to a view half gone.
VideoView::~VideoView() {
    delete area_;
    if (presenter_)
        presenter_->setTarget({});
}

void VideoView::retarget() {
    presenter_->setTarget(area_->target());
}

qint64 VideoView::paintedFrames() const {
    return paintedFrames_ + (presenter_ ? presenter_->pictures() : 0);
}

// The first picture on the screen of what plays is announced (the presenter counted it);
// anything else (a new aspect, a picture the presenter could not put, as while the view is wholly
// covered) is painted.
void VideoView::pictureArrived() {
    if (presenter_) {
        const VideoFrames::Frame frame = playback_.currentFrame();
        if (frame.presented && frame.fresh) {
            Q_EMIT framePainted();
            return;
        }
    }
    update();
}

void VideoView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const VideoFrames::Frame frame = playback_.currentFrame();
    if (frame.image.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    const QRect target = PictureScaler::fit(frame.aspect, size());
    // Only the bars: blackening the whole view first would write every pixel twice a frame.
    for (const QRect& bar : QRegion(rect()).subtracted(target))
        painter.fillRect(bar, Qt::black);
    if (!scaleInto(painter, frame.image, target, event->region())) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, frame.image);
    }
    // A picture the presenter put first counts there; painted again here, it is still told.
    if (frame.fresh) {
        if (!frame.presented)
            ++paintedFrames_;
        Q_EMIT framePainted();
    }
}

// Painting into the window's own image (the usual case) scales the picture straight into it; a
// grab, a printer or a scaled screen goes through the painter, which does the same more slowly.
bool VideoView::scaleInto(QPainter& painter, const QImage& picture, const QRect& target,
                          const QRegion& region) {
    QPaintDevice* device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto* image = static_cast<QImage*>(device);
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxTranslate || image->devicePixelRatio() != 1.0 ||
        !PictureScaler::canWriteInto(*image))
        return false;
    const QPoint offset(qRound(toDevice.dx()), qRound(toDevice.dy()));
    scaler_.scale(picture, *image, target.translated(offset), region.translated(offset));
    return true;
}

void VideoView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Q_EMIT doubleClicked();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}
