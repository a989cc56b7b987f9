#include "app/ProcessSetup.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QString>
#include <QTimer>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr char kGlIntegration[] = "QT_XCB_GL_INTEGRATION";
bool glTurnedOff = false;
QtMessageHandler previousHandler = nullptr;

// Without OpenGL the platform plugin and the web engine each say so once; it is what was asked.
void withoutGlNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QString text = message.trimmed();
    if (text == QLatin1String("QXcbIntegration: Cannot create platform OpenGL context, neither "
                              "GLX nor EGL are enabled") ||
        text == QLatin1String("No suitable graphics backend found"))
        return;
    previousHandler(type, context, message);
}

// The platform plugin makes its choice while the application is being made (for the context the
// web engine shares); after that the variable must not reach the programs the viewer starts,
// such as the desktop's browser.
void forgetGlChoice() {
    if (glTurnedOff)
        QTimer::singleShot(0, [] { qunsetenv(kGlIntegration); });
}
Q_COREAPP_STARTUP_FUNCTION(forgetGlChoice)

} // namespace

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
    // Nothing in the viewer draws with OpenGL: the player paints its frames, the advertisement is
    // composited in software. The web engine still makes a context at the start, which loads the
    // driver: without a GPU Mesa's llvmpipe with LLVM, 57 MiB of the process for nothing.
    if (!qEnvironmentVariableIsSet(kGlIntegration)) {
        qputenv(kGlIntegration, "none");
        glTurnedOff = true;
        previousHandler = qInstallMessageHandler(withoutGlNotes);
        if (!previousHandler)
            qInstallMessageHandler(nullptr);
    }
    // The web engine describes its set-up on every start; QT_LOGGING_RULES still overrides.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}
