#include "ui/AdPolicy.h"

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
