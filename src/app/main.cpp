#include "app/Config.h"
#include "app/ProcessSetup.h"
#include "app/Startup.h"
#include "app/Trace.h"
#include "ui/Fonts.h"
#include "ui/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    const Config config = Config::fromEnvironment();
    startTrace(config.tracePath);
    trace(QStringLiteral("process-started"));
    prepareProcess();
    QApplication app(argc, argv);
    // The loading window hides before the main window shows; that is no reason to quit.
    app.setQuitOnLastWindowClosed(false);
    installSongFace();

    MainWindow window(config.mainWindow());
    Startup startup(window, config);
    if (!startup.OnMainWindowCreated())
        return 1;
    app.setQuitOnLastWindowClosed(true);
    window.show();
    const int code = app.exec();
    trace(QStringLiteral("exit %1").arg(code));
    return code;
}
