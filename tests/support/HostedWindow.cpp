#include "HostedWindow.h"

#include "app/ProcessSetup.h"
#include "playback/MediaPlayer.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QApplication>
#include <QTest>

HostedWindow::HostedWindow() : station_(std::make_unique<StationProcess>()) {
    if (!station_->started())
        return;
    qputenv("VELMORA_STATION", station_->address().toUtf8());
    qputenv("VELMORA_AD_URL", QByteArray("http://") + station_->address().toUtf8() + "/ad/");
    StartupHooks hooks;
    hooks.makeClock = [] { return std::make_unique<LateClock>(); };
    hooks.programDirectory = dir_.path();
    window_ = std::make_unique<MainWindow>(hooks);
    if (!window_->OnMainWindowCreated())
        return;
    window_->show();
    menu_ = window_->findChild<RollDownMenu*>(QStringLiteral("卷帘式菜单1"));
    player_ = window_->findChild<MediaPlayer*>(QStringLiteral("播放器1"));
    ready_ = QTest::qWaitForWindowExposed(window_.get()) && menu_ && player_;
}

HostedWindow::~HostedWindow() {
    window_.reset();
    station_.reset();
}

void HostedWindow::choose(int item) {
    menu_->setFocus();
    QTest::keyClick(menu_, Qt::Key_Home);
    for (int i = 0; i <= item; ++i)
        QTest::keyClick(menu_, Qt::Key_Down);
    QTest::keyClick(menu_, Qt::Key_Return);
}

int runHostedTest(QObject& test, int argc, char* argv[]) {
    qputenv("VELMORA_AUDIO_OUTPUT", "adummy");
    prepareProcess();
    QApplication app(argc, argv);
    return QTest::qExec(&test, argc, argv);
}
