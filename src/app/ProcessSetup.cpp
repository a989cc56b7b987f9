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
    // glibc raises its mmap threshold to the size of each large block freed. From the first
    // reconnect on, libVLC's picture pools (a score of half-megabyte pictures for every opening)
    // then came from the heaps, between the small blocks that live on meanwhile, and every drop
    // of a stream left the heap larger for good. At a fixed threshold large blocks keep mappings
    // of their own and go back whole when freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // The web engine describes its set-up on every start; QT_LOGGING_RULES still overrides.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}
