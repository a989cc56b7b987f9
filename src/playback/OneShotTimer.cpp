#include "playback/OneShotTimer.h"

#include <QTimer>

namespace {

class RealTimer : public OneShotTimer {
  public:
    explicit RealTimer(QObject* parent) : OneShotTimer(parent) {
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, &OneShotTimer::timeout);
    }
    void start(std::chrono::milliseconds delay) override { timer_.start(delay); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

  private:
    QTimer timer_;
};

} // namespace

OneShotTimer* makeTimer(const TimerFactory& factory, QObject* parent, const QString& name) {
    OneShotTimer* timer = factory ? factory(parent, name) : new RealTimer(parent);
    timer->setObjectName(name);
    return timer;
}
