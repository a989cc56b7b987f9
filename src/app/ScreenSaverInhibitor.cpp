#include "app/ScreenSaverInhibitor.h"

#include "app/Trace.h"
#include "playback/PlaybackController.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <utility>

namespace {

const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalInhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString kPortalRequest = QStringLiteral("org.freedesktop.portal.Request");
constexpr uint kPortalIdle = 8;
// A desktop service that does not answer in this time is not going to.
constexpr int kCallTimeoutMs = 5000;
const QString kApplication = QStringLiteral("Velmora网络电视");
const QString kReason = QStringLiteral("正在播放视频");

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(PlaybackController& playback, QDBusConnection bus,
                                           QObject* parent)
    : QObject(parent), playback_(playback), bus_(std::move(bus)) {
    // Pictures arrive many times a second; only the first of an opening matters.
    connect(&playback_, &PlaybackController::frameArrived, this, [this] {
        if (!std::exchange(pictures_, true))
            update();
    });
    connect(&playback_, &PlaybackController::frameCleared, this, [this] {
        pictures_ = false;
        update();
    });
    connect(&playback_, &PlaybackController::statusChanged, this, &ScreenSaverInhibitor::update);
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    closing_ = true;
    wanted_ = false;
    // Delivers the answer here and now, which gives a granted inhibition back.
    if (pending_)
        pending_->waitForFinished();
    if (held())
        release(true);
}

void ScreenSaverInhibitor::update() {
    const PlayerStatus status = playback_.status();
    wanted_ = pictures_ && (status == PlayerStatus::Playing || status == PlayerStatus::Buffering ||
                            status == PlayerStatus::Reconnecting);
    if (wanted_ && !held() && !pending_)
        ask(Via::ScreenSaver);
    else if (!wanted_ && held())
        release(false);
}

void ScreenSaverInhibitor::ask(Via via) {
    QDBusMessage call;
    if (via == Via::ScreenSaver) {
        call = QDBusMessage::createMethodCall(kScreenSaver, kScreenSaverPath, kScreenSaver,
                                              QStringLiteral("Inhibit"));
        call << kApplication << kReason;
    } else {
        call = QDBusMessage::createMethodCall(kPortal, kPortalPath, kPortalInhibit,
                                              QStringLiteral("Inhibit"));
        call << QString() << kPortalIdle << QVariantMap{{QStringLiteral("reason"), kReason}};
    }
    pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(pending_, &QDBusPendingCallWatcher::finished, this,
            [this, via](QDBusPendingCallWatcher* call) { answered(call, via); });
}

void ScreenSaverInhibitor::answered(QDBusPendingCallWatcher* call, Via via) {
    pending_ = nullptr;
    call->deleteLater();
    const QDBusMessage reply = call->reply();
    const bool screenSaver = via == Via::ScreenSaver;
    if (call->isError() || reply.signature() != QLatin1String(screenSaver ? "u" : "o")) {
        // A desktop without the screen saver's service may still have the portal.
        if (screenSaver && wanted_)
            ask(Via::Portal);
        else if (wanted_)
            trace(QStringLiteral("screen-keep-on-unavailable ") + call->error().name());
        return;
    }
    via_ = via;
    if (screenSaver) {
        cookie_ = reply.arguments().constFirst().toUInt();
        trace(QStringLiteral("screen-kept-on screen-saver cookie=%1").arg(cookie_));
    } else {
        request_ = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst());
        trace(QStringLiteral("screen-kept-on portal handle=") + request_.path());
    }
    // Granted after the video paused or stopped: given back before anything else happens.
    if (!wanted_)
        release(closing_);
}

void ScreenSaverInhibitor::release(bool wait) {
    QDBusMessage call;
    if (via_ == Via::ScreenSaver) {
        call = QDBusMessage::createMethodCall(kScreenSaver, kScreenSaverPath, kScreenSaver,
                                              QStringLiteral("UnInhibit"));
        call << cookie_;
    } else {
        call = QDBusMessage::createMethodCall(kPortal, request_.path(), kPortalRequest,
                                              QStringLiteral("Close"));
    }
    via_ = Via::None;
    trace(QStringLiteral("screen-released"));
    if (wait)
        bus_.call(call, QDBus::Block, kCallTimeoutMs);
    else
        bus_.asyncCall(call, kCallTimeoutMs);
}
