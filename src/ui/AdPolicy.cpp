#include "ui/AdPolicy.h"

#include <QByteArray>
#include <QUrl>

bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

NavigationBudget::NavigationBudget(int allowed, qint64 windowMs)
    : allowed_(allowed), windowMs_(windowMs) {}

bool NavigationBudget::take(qint64 nowMs) {
    while (!taken_.empty() && nowMs - taken_.front() >= windowMs_)
        taken_.pop_front();
    if (int(taken_.size()) >= allowed_)
        return false;
    taken_.push_back(nowMs);
    return true;
}

qint64 rendererHeldKiB(const QByteArray& status) {
    qint64 total = 0;
    bool found = false;
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith("RssAnon:") && !line.startsWith("RssShmem:"))
            continue;
        // "RssAnon:\t   52148 kB"
        bool ok = false;
        const qint64 kib =
            line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong(&ok);
        if (ok) {
            total += kib;
            found = true;
        }
    }
    return found ? total : -1;
}
