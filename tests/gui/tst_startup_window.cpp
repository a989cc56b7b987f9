#include "HostedWindow.h"
#include "app/ProgramState.h"
#include "app/Startup.h"
#include "catalogue/FileIo.h"
#include "playback/PlaybackController.h"
#include "ui/LoadingWindow.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Answers the next modal message box, noting its title and text.
void answerNextMessageBox(QPair<QString, QString>& seen) {
    QTimer::singleShot(0, [&seen] {
        QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        seen = {box->windowTitle(), box->text()};
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->buttons().size(), 1);
        box->button(QMessageBox::Ok)->click();
    });
}

QStringList menuEntries(QMenu* menu) {
    QStringList out;
    for (QAction* action : menu->actions()) {
        out << (action->isSeparator()
                    ? QStringLiteral("-")
                    : action->text() + (action->shortcut().isEmpty()
                                            ? QString()
                                            : QLatin1Char(' ') + action->shortcut().toString()));
    }
    return out;
}

} // namespace

class TestStartupWindow : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void loadingWindowKeepsTimeAndCannotBeClosed();
    void menuTree();
    void catalogueFillsTheMenu();
    void runThatCannotStartFails();
};

void TestStartupWindow::loadingWindowKeepsTimeAndCannotBeClosed() {
    LoadingElapsed = 0;
    LoadingWindow window;
    bindLoadingClock(window);
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(QPixmap(QStringLiteral(":/assets/loading.jpg")).size(), QSize(380, 250));
    QCOMPARE(window.size(), QSize(380, 250));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("透明标签1"))->text(),
             QStringLiteral("正在获取数据，请稍等..."));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("透明标签1"))->geometry(),
             QRect(158, 177, 152, 32));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Escape and a close request leave it standing: only the run closes it.
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(LoadingElapsed.load() >= 300, 5000);
    QCOMPARE(LoadingElapsed.load() % 100, 0);

    window.closeFromRun();
    QVERIFY(!window.isVisible());
    const int stopped = LoadingElapsed.load();
    QTest::qWait(250); // the clock stops with the window
    QCOMPARE(LoadingElapsed.load(), stopped);
}

void TestStartupWindow::menuTree() {
    PlaybackController playback;
    MainWindow window({}, playback);
    QStringList titles;
    for (QAction* action : window.menuBar()->actions())
        titles << action->text();
    QCOMPARE(titles, (QStringList{QStringLiteral("文件(&F)"), QStringLiteral("设置(&S)"),
                                  QStringLiteral("帮助(&H)")}));
    const auto menu = [&](int i) { return window.menuBar()->actions()[i]->menu(); };
    QCOMPARE(
        menuEntries(menu(0)),
        (QStringList{QStringLiteral("打开(&O) Ctrl+O"), QStringLiteral("打开URL(&U) Ctrl+U"),
                     QStringLiteral("-"), QStringLiteral("播放"), QStringLiteral("暂停"),
                     QStringLiteral("停止"), QStringLiteral("-"), QStringLiteral("退出 Ctrl+Q")}));
    QCOMPARE(menuEntries(menu(1)),
             (QStringList{QStringLiteral("详细设置(&D)"), QStringLiteral("-")}));
    QCOMPARE(menuEntries(menu(2)),
             (QStringList{QStringLiteral("软件帮助 F1"), QStringLiteral("-"),
                          QStringLiteral("提出意见(C)"), QStringLiteral("-"),
                          QStringLiteral("检查更新(&O)"), QStringLiteral("-"),
                          QStringLiteral("软件特性"), QStringLiteral("关于(&A)")}));
    QCOMPARE(window.centralWidget()->size(), QSize(737, 452));
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("播放器1"))->geometry(),
             QRect(2, 0, 574, 440));
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("卷帘式菜单1"))->geometry(),
             QRect(584, 0, 152, 440));
}

void TestStartupWindow::catalogueFillsTheMenu() {
    StationProcess station;
    QVERIFY(station.started());
    QTemporaryDir dir;
    StartupHooks hooks;
    hooks.makeClock = [] { return std::make_unique<LateClock>(); };
    hooks.programDirectory = dir.path();
    const Config config = stationConfig(station.address());
    PlaybackController playback;
    MainWindow window(config.mainWindow(), playback);
    Startup startup(window, config, hooks);
    // While loading, the three items are still enabled; afterwards they are greyed.
    QVERIFY(window.menuAction(QStringLiteral("播放"))->isEnabled());
    QVERIFY(startup.OnMainWindowCreated());
    for (const char* caption : {"播放", "暂停", "停止"})
        QVERIFY(!window.menuAction(QString::fromUtf8(caption))->isEnabled());
    QVERIFY(window.menuAction(QStringLiteral("打开(&O)"))->isEnabled());

    auto* menu = window.findChild<RollDownMenu*>(QStringLiteral("卷帘式菜单1"));
    QCOMPARE(menu->model().groupCount(), 5);
    QCOMPARE(menu->openGroup(), 0);
    QCOMPARE(menu->model().itemCount(4), 7);
    QCOMPARE(startup.programDirectory(), dir.path());
    QCOMPARE(window.programDirectory(), dir.path());
    QVERIFY(fileSize(dir.path() + QStringLiteral("/spsj.txt")).value_or(0) > 0);
}

void TestStartupWindow::runThatCannotStartFails() {
    QTemporaryDir dir;
    StartupHooks hooks;
    hooks.programDirectory = dir.path();
    hooks.startThread = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    PlaybackController playback;
    MainWindow window({}, playback);
    Startup startup(window, Config::defaults(), hooks);
    QPair<QString, QString> seen;
    answerNextMessageBox(seen);
    QVERIFY(!startup.OnMainWindowCreated());
    QCOMPARE(seen.first, QStringLiteral("错误！"));
    QVERIFY(!seen.second.isEmpty());
}

QTEST_MAIN(TestStartupWindow)
#include "tst_startup_window.moc"
