#include "ManualTimers.h"

void ManualTimer::start(std::chrono::milliseconds delay) {
    active_ = true;
    starts_ << delay.count();
}

bool ManualTimer::fire() {
    if (!active_)
        return false;
    active_ = false;
    Q_EMIT timeout();
    return true;
}

TimerFactory ManualTimers::factory() {
    return [this](QObject* parent, const QString&) -> OneShotTimer* {
        auto* timer = new ManualTimer(parent);
        made_ << timer;
        return timer;
    };
}

ManualTimer* ManualTimers::find(const QString& name) const {
    for (auto it = made_.crbegin(); it != made_.crend(); ++it) {
        if (*it && (*it)->objectName() == name)
            return it->data();
    }
    return nullptr;
}
