#include "app/CommandLine.h"
#include "app/Config.h"
#include "app/DataLocation.h"
#include "app/DesktopSession.h"
#include "app/OpenRequests.h"
#include "app/ProcessSetup.h"
#include "app/QtTranslations.h"
#include "app/RememberedSettings.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/Trace.h"
#include "playback/PlaybackController.h"
#include "ui/Fonts.h"
#include "ui/MainWindow.h"
#include "ui/SettingsService.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QString location;
    if (const std::optional<int> code = answerCommandLine(argc, argv, location))
        return *code;
    const Config config = Config::fromEnvironment();
    startTrace(config.tracePath);
    trace(QStringLiteral("process-started"));
    prepareProcess();
    QApplication app(argc, argv);
    // One viewer per data folder: a later start hands its file over and ends, writing nothing.
    SingleInstance instance(programDataDirectory());
    if (const std::optional<int> code = instance.claimOrHandOver(location))
        return *code;
    installQtTranslations(app);
    QGuiApplication::setDesktopFileName(QStringLiteral(VELMORA_APP_ID));
    // The loading window hides before the main window shows; that is no reason to quit.
    app.setQuitOnLastWindowClosed(false);
    installSongFace();

    // What plays lives as long as the program; the windows and remote controls share it.
    PlaybackController playback(config.engine);
    MainWindow window(config.mainWindow(), playback);
    OpenRequests opens(window, instance, location);
    Startup startup(window, config);
    if (!startup.OnMainWindowCreated())
        return 1;
    // The desktop's media controls and screen saver, once there is something to control.
    DesktopSession desktop(playback, window, opens);
    app.setQuitOnLastWindowClosed(true);
    const auto remembered = rememberSettings(window, playback, startup.programDirectory());
    window.show();
    opens.ready();
    const int code = app.exec();
    trace(QStringLiteral("exit %1").arg(code));
    return code;
}
