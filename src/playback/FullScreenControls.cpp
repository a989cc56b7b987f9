#include "playback/FullScreenControls.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <utility>

namespace {
constexpr int kStatusMargin = 16;
} // namespace

FullScreenControls::FullScreenControls(QWidget* screen, QWidget* bar, const TimerFactory& timers,
                                       QObject* parent)
    : QObject(parent), screen_(screen), bar_(bar), status_(new QLabel(screen)),
      idle_(makeTimer(timers, this, QStringLiteral("fullScreenIdle"))),
      statusShown_(makeTimer(timers, this, QStringLiteral("fullScreenStatus"))) {
    status_->setObjectName(QStringLiteral("fullScreenStatus"));
    status_->setAutoFillBackground(true);
    status_->setMargin(6);
    status_->hide();
    connect(idle_, &OneShotTimer::timeout, this, &FullScreenControls::hideControls);
    connect(statusShown_, &OneShotTimer::timeout, status_, &QWidget::hide);
    screen_->installEventFilter(this);
}

void FullScreenControls::setFullScreen(bool on) {
    fullScreen_ = on;
    // A movement reaches a widget only when it tracks the mouse; untouched, the picture and the
    // bar pass theirs up to the screen. Outside full screen nobody asks.
    if (on) {
        tracking_.clear();
        QList<QWidget*> widgets = screen_->findChildren<QWidget*>();
        widgets << screen_;
        for (QWidget* widget : std::as_const(widgets)) {
            if (!widget->hasMouseTracking()) {
                widget->setMouseTracking(true);
                tracking_ << widget;
            }
        }
    } else {
        for (QWidget* widget : std::as_const(tracking_)) {
            if (widget)
                widget->setMouseTracking(false);
        }
        tracking_.clear();
    }
    showControls();
    if (on)
        idle_->start(IdleTime);
    else
        idle_->stop();
}

void FullScreenControls::wake() {
    if (!fullScreen_)
        return;
    showControls();
    idle_->start(IdleTime);
}

void FullScreenControls::showStatus(const QString& text) {
    status_->setText(text);
    if (!hidden_)
        return;
    status_->adjustSize();
    status_->move(kStatusMargin, kStatusMargin);
    status_->raise();
    status_->show();
    statusShown_->start(StatusTime);
}

void FullScreenControls::hideControls() {
    // A pointer resting on the controls is using them, and so is a keyboard on one of them.
    if (!fullScreen_ || bar_->underMouse() || bar_->isAncestorOf(QApplication::focusWidget())) {
        wake();
        return;
    }
    hidden_ = true;
    bar_->hide();
    screen_->setCursor(Qt::BlankCursor);
}

void FullScreenControls::showControls() {
    hidden_ = false;
    statusShown_->stop();
    status_->hide();
    bar_->show();
    screen_->unsetCursor();
}

bool FullScreenControls::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
        wake();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
