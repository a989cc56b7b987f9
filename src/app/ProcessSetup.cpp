#include "app/ProcessSetup.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <malloc.h>
#include <unistd.h>

void prepareProcess() {
    // Chromium's sandbox cannot run as root; only then does the web engine go without it.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // libVLC starts threads for every medium it opens; uncapped, each may take a malloc arena
    // of its own and the footprint creeps up with every programme chosen.
    mallopt(M_ARENA_MAX, 2);
    // The web engine describes its set-up on every start; QT_LOGGING_RULES still overrides.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}
