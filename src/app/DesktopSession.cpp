#include "app/DesktopSession.h"

#include "app/MprisService.h"
#include "app/OpenRequests.h"
#include "app/ScreenSaverInhibitor.h"
#include "app/Trace.h"
#include "playback/ExternalLocation.h"
#include "ui/MainWindow.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDir>

DesktopSession::DesktopSession(PlaybackController& playback, MainWindow& window,
                               OpenRequests& opens) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        trace(QStringLiteral("session-bus-unavailable ") + bus.lastError().name());
        return;
    }
    MprisHooks hooks;
    hooks.raise = [&window] { window.bringToFront(); };
    hooks.quit = [&window] { window.close(); };
    // As a location on the command line: a file:// address plays as its path.
    hooks.open = [&opens](const QString& uri) {
        opens.open(locationFromArgument(uri, QDir::currentPath()));
    };
    mpris_ = std::make_unique<MprisService>(playback, std::move(hooks));
    const QString name = mpris_->publish(bus);
    trace(name.isEmpty() ? QStringLiteral("mpris-unavailable") : QStringLiteral("mpris ") + name);
    inhibitor_ = std::make_unique<ScreenSaverInhibitor>(playback, bus);
}

DesktopSession::~DesktopSession() = default;
