#include "app/OpenRequests.h"

#include "app/SingleInstance.h"
#include "app/Trace.h"
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
    if (ready_)
        window_.bringToFront();
    open(locations.value(0));
}

void OpenRequests::open(const QString& location) {
    if (location.isEmpty())
        return;
    if (ready_)
        play(location);
    else
        waiting_ = location;
}

void OpenRequests::play(const QString& location) {
    trace(QStringLiteral("open ") + location);
    window_.openLocation(location);
}
