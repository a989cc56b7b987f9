#include "PeerSupport.h"

#include "BenchSupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

QRect clipPictureOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    int left = shot.width(), right = -1, top = shot.height(), bottom = -1;
    for (int y = 0; y < shot.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = 0; x < shot.width(); ++x) {
            const int r = qRed(row[x]), g = qGreen(row[x]), b = qBlue(row[x]);
            // Loose enough for mpv's colours, which come out as (248, 48, 0) and (79, 252, 255).
            const bool red = r > 190 && g < 90 && b < 90;
            const bool cyan = r < 110 && g > 190 && b > 190;
            if (red)
                left = std::min(left, x);
            if (cyan)
                right = std::max(right, x);
            if (red || cyan) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < left || bottom < top)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

qint64 displayServerPid() {
    const QByteArray display = qgetenv("DISPLAY");
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        const QList<QByteArray> args =
            readProcFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).split('\0');
        if (!args.isEmpty() && args.front().endsWith("Xvfb") && args.contains(display))
            return pid;
    }
    return -1;
}

double loadAverage() {
    return readProcFile(QStringLiteral("/proc/loadavg")).split(' ').value(0).toDouble();
}
