#include "HostedWindow.h"

#include "app/ProcessSetup.h"
#include "app/Startup.h"
#include "playback/MediaPlayer.h"
#include "playback/PlaybackController.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDebug>
#include <QMenu>
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

std::optional<QStringList> triggerItemMenu(RollDownMenu& menu, MenuRow row,
                                           const QString& caption) {
    menu.setFocus();
    menu.setOpenGroup(row.group);
    const QRect rect = menu.itemRect(row.group, row.position);
    QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center(),
                            menu.mapToGlobal(rect.center()));
    QApplication::sendEvent(&menu, &event);
    QMenu* popup = nullptr;
    if (!QTest::qWaitFor([&] {
            return (popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr;
        }))
        return std::nullopt;
    QAction* action = nullptr;
    QStringList captions;
    for (QAction* a : popup->actions()) {
        if (a->isSeparator())
            continue;
        captions << (a->isEnabled() ? a->text() : QLatin1Char('[') + a->text() + QLatin1Char(']'));
        if (a->text() == caption && a->isEnabled())
            action = a;
    }
    popup->close();
    if (!action) {
        qWarning() << "no" << caption << "in" << captions;
        return std::nullopt;
    }
    action->trigger();
    return captions;
}

void saveShot(QWidget& widget, const QString& name) {
    const QString dir = qEnvironmentVariable("VELMORA_SHOTS_DIR");
    if (!dir.isEmpty())
        widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}
