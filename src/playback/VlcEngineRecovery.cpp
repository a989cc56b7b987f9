// When the engine cannot play: finding out why, and opening a stream that broke off again.
#include "playback/FailureProbe.h"
#include "playback/Location.h"
#include "playback/OneShotTimer.h"
#include "playback/VlcEngine.h"

#include <QFileInfo>
#include <algorithm>
#include <vlc/vlc.h>

namespace {

// Even a late failure leaves the probe time to hear a server that answers at all.
constexpr std::chrono::milliseconds kShortestProbe{1000};

} // namespace

bool VlcEngine::isNetwork() const {
    return locationKind(location_) == LocationKind::Network;
}

void VlcEngine::openFailed(PlayerError known) {
    if (now_.attempting) {
        scheduleReconnect();
        return;
    }
    if (known != PlayerError::None) {
        fail(known);
        return;
    }
    diagnose();
}

void VlcEngine::diagnose() {
    switch (locationKind(location_)) {
    case LocationKind::LocalFile:
        fail(QFileInfo::exists(localPathOf(location_)) ? PlayerError::Format
                                                       : PlayerError::NoSuchFile);
        return;
    case LocationKind::Other:
        fail(PlayerError::Unsupported);
        return;
    case LocationKind::Network:
        break;
    }
    const ProbeTarget target = probeTargetFor(openedAs_);
    if (target.host.isEmpty()) {
        // Nothing to connect to (a UDP stream, say): nothing came.
        fail(PlayerError::NoAnswer);
        return;
    }
    // Within the time an open may take, so a silent server is told apart from a slow one.
    const auto left = openWatchdog_.isActive()
                          ? std::chrono::milliseconds(openWatchdog_.remainingTime())
                          : openTimeout_;
    halt();
    setStatus(Status::Connecting);
    probe_ = std::make_unique<FailureProbe>(target, std::max(left, kShortestProbe));
    connect(probe_.get(), &FailureProbe::finished, this, [this](PlayerError error, int httpStatus) {
        // Deleted later: this runs inside the probe.
        probe_.release()->deleteLater();
        fail(error, httpStatus);
    });
}

void VlcEngine::fail(PlayerError error, int httpStatus) {
    halt();
    reconnect_.end();
    now_.failed = true;
    error_ = error;
    httpStatus_ = httpStatus;
    setStatus(Status::CannotPlay);
    Q_EMIT timesChanged(0, 0, false);
}

void VlcEngine::dropped(qint64 at) {
    if (!reconnect_.active())
        droppedLength_ = now_.length;
    reconnect_.brokeOff(now_.seekable ? at : -1);
    scheduleReconnect();
}

void VlcEngine::scheduleReconnect() {
    const std::optional<std::chrono::milliseconds> wait = reconnect_.next();
    if (!wait) {
        fail(PlayerError::BrokeOff);
        return;
    }
    halt();
    setStatus(Status::Reconnecting);
    Q_EMIT timesChanged(std::max<qint64>(reconnect_.resumeAt(), 0), droppedLength_, false);
    reconnectTimer_->start(*wait);
}

void VlcEngine::reconnectNow() {
    if (!reconnect_.active() || !player_)
        return;
    halt();
    now_.attempting = true;
    now_.resumePending = reconnect_.resumeAt() > 0;
    now_.attemptFrom = -1;
    // The attempt goes where the stream broke off, not back to where the open began.
    if (!load(openedAs_, false)) {
        scheduleReconnect();
        return;
    }
    start();
}

// The clock of a network stream stood still while it should have played: no data came.
void VlcEngine::onStall() {
    if (!now_.opened || now_.paused || now_.attempting || !now_.played || !isNetwork())
        return;
    dropped(now_.time);
}
