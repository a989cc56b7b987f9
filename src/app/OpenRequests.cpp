#include "app/OpenRequests.h"

#include "app/SingleInstance.h"
#include "app/Trace.h"
#include "playback/MediaPlayer.h"
#include "ui/MainWindow.h"

OpenRequests::OpenRequests(MainWindow& window, SingleInstance& instance, const QString& commandLine)
    : window_(window), waiting_(commandLine) {
    connect(&instance, &SingleInstance::handedOver, this, &OpenRequests::handedOver);
}

void OpenRequests::ready() {
    ready_ = true;
    if (!waiting_.isEmpty())
        play(std::exchange(waiting_, QString()));
}

void OpenRequests::handedOver(const QStringList& locations) {
    trace(QStringLiteral("handed-in %1").arg(locations.size()));
    const QString location = locations.value(0);
    if (!ready_) {
        if (!location.isEmpty())
            waiting_ = location;
        return;
    }
    raise();
    if (!location.isEmpty())
        play(location);
}

void OpenRequests::raise() {
    // In full screen the picture's own window is in front already.
    if (window_.player().fullScreen())
        return;
    window_.setWindowState((window_.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_.raise();
    window_.activateWindow();
}

void OpenRequests::play(const QString& location) {
    trace(QStringLiteral("open ") + location);
    window_.openLocation(location);
}
