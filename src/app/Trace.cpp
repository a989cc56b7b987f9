#include "app/Trace.h"

#include <QFile>
#include <chrono>
#include <mutex>

namespace {

std::mutex& traceMutex() {
    static std::mutex mutex;
    return mutex;
}

QString& tracePath() {
    static QString path;
    return path;
}

} // namespace

void startTrace(const QString& path) {
    const std::lock_guard lock(traceMutex());
    tracePath() = path;
}

void trace(const QString& event) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    const std::lock_guard lock(traceMutex());
    if (tracePath().isEmpty())
        return;
    QFile file(tracePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(QString::number(now.count()).toUtf8() + ' ' + event.toUtf8() + '\n');
}
