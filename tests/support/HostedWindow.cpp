#include "HostedWindow.h"

#include "app/ProcessSetup.h"
#include "app/Startup.h"
#include "playback/MediaPlayer.h"
#include "playback/PlaybackController.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

Config stationConfig(const QString& address) {
    Config config = Config::defaults();
    config.stationHost = address;
    config.adUrl = QStringLiteral("http://") + address + QStringLiteral("/ad/");
    config.engine.audioOutput = "adummy";
    return config;
}

HostedWindow::HostedWindow(const QStringList& stationArguments,
                           const std::function<void(Config&)>& adjust)
    : station_(std::make_unique<StationProcess>(stationArguments)) {
    if (!station_->started())
        return;
    Config config = stationConfig(station_->address());
    if (adjust)
        adjust(config);
    StartupHooks hooks;
    hooks.makeClock = [] { return std::make_unique<LateClock>(); };
    hooks.programDirectory = dir_.path();
    playback_ = std::make_unique<PlaybackController>(config.engine);
    window_ = std::make_unique<MainWindow>(config.mainWindow(), *playback_);
    window_->setCountdownClock([this] { return countdownMs_; });
    startup_ = std::make_unique<Startup>(*window_, config, hooks);
    if (!startup_->OnMainWindowCreated())
        return;
    window_->show();
    menu_ = &window_->rollDownMenu();
    player_ = &window_->player();
    ready_ = QTest::qWaitForWindowExposed(window_.get());
}

HostedWindow::~HostedWindow() {
    startup_.reset();
    window_.reset();
    playback_.reset();
    station_.reset();
}

const QString& HostedWindow::programDirectory() const {
    return startup_->programDirectory();
}

void HostedWindow::choose(int item) {
    menu_->setFocus();
    QTest::keyClick(menu_, Qt::Key_Home);
    for (int i = 0; i <= item; ++i)
        QTest::keyClick(menu_, Qt::Key_Down);
    QTest::keyClick(menu_, Qt::Key_Return);
}

void HostedWindow::tick() {
    auto* timer = window_->findChild<QTimer*>(QStringLiteral("时钟1"));
    QVERIFY(timer);
    timer->stop();
    countdownMs_ += 1000;
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
}

int runHostedTest(QObject& test, int argc, char* argv[]) {
    prepareProcess();
    QApplication app(argc, argv);
    return QTest::qExec(&test, argc, argv);
}

void saveShot(QWidget& widget, const QString& name) {
    const QString dir = qEnvironmentVariable("VELMORA_SHOTS_DIR");
    if (!dir.isEmpty())
        widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}
