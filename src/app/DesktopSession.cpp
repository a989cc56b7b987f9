#include "app/DesktopSession.h"

#include "app/MprisService.h"
#include "app/ScreenSaverInhibitor.h"
#include "app/Trace.h"
#include "ui/MainWindow.h"

#include <QDBusConnection>
#include <QDBusError>

DesktopSession::DesktopSession(PlaybackController& playback, MainWindow& window) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        trace(QStringLiteral("session-bus-unavailable ") + bus.lastError().name());
        return;
    }
    mpris_ =
        std::make_unique<MprisService>(playback, MprisHooks{.raise =
                                                                [&window] {
                                                                    if (window.isMinimized())
                                                                        window.showNormal();
                                                                    window.show();
                                                                    window.raise();
                                                                    window.activateWindow();
                                                                },
                                                            .quit = [&window] { window.close(); }});
    const QString name = mpris_->publish(bus);
    trace(name.isEmpty() ? QStringLiteral("mpris-unavailable") : QStringLiteral("mpris ") + name);
    inhibitor_ = std::make_unique<ScreenSaverInhibitor>(playback, bus);
}

DesktopSession::~DesktopSession() = default;
