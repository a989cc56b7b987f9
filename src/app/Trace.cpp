#include "app/Trace.h"

#include <QFile>
#include <chrono>
#include <mutex>

void trace(const QString& event) {
    static const QString path = qEnvironmentVariable("VELMORA_TRACE");
    if (path.isEmpty())
        return;
    static std::mutex mutex;
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    const std::lock_guard lock(mutex);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(QString::number(now.count()).toUtf8() + ' ' + event.toUtf8() + '\n');
}
