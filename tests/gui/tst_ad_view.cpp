// The advertisement view on its own, with real pages from the station: a page whose render
// process ends leaves the panel blank, a sound page stays, and the page has a render process only
// while its panel is shown (and from the start until the panel is first hidden), and never takes
// the keyboard.
#include "Processes.h"
#include "app/ProcessSetup.h"
#include "ui/AdView.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

class TestAdView : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void endedRendererLeavesTheViewHidden_data();
    void endedRendererLeavesTheViewHidden();
    void soundPageStaysShown();
    void pageRunsOnlyWhileShown();
    void shownAgainBeforeTheEndIsReported();

  private:
    std::unique_ptr<StationProcess> station_;
};

void TestAdView::initTestCase() {
    station_ = std::make_unique<StationProcess>();
    QVERIFY(station_->started());
}

void TestAdView::endedRendererLeavesTheViewHidden_data() {
    QTest::addColumn<QString>("page");
    QTest::newRow("busy script, ended by the watchdog") << u"busy"_s;
    QTest::newRow("memory hog, failing on its own") << u"memory"_s;
    QTest::newRow("dialog loop, ended by the watchdog") << u"alert-loop"_s;
    QTest::newRow("hoarding outside the script heap, ended over its limit") << u"outside-heap"_s;
}

void TestAdView::endedRendererLeavesTheViewHidden() {
    QFETCH(QString, page);
    // As in the main window: made in the hidden panel, seen when a countdown shows the panel.
    QWidget panel;
    panel.resize(336, 280);
    AdView* view = createAdView(
        &panel, nullptr, QUrl(u"http://"_s + station_->address() + u"/ad/hostile/"_s + page));
    QCOMPARE(view->objectName(), u"广告1"_s);
    QCOMPARE(view->geometry(), QRect(-12, -17, 380, 328));
    QCOMPARE(view->parentWidget(), &panel);
    panel.show();
    QVERIFY(view->isVisible());

    QSignalSpy ended(view->adPage(), &AdPage::rendererEndedChanged);
    QVERIFY(ended.wait(AdPage::kUnresponsiveMs + 15000));
    QVERIFY(view->adPage()->rendererEnded());
    QVERIFY(!view->isVisible());
    QVERIFY(panel.isVisible());
    // The next countdown shows the panel again, and it stays blank.
    panel.hide();
    panel.show();
    QVERIFY(!view->isVisible());
}

void TestAdView::soundPageStaysShown() {
    QWidget panel;
    panel.resize(336, 280);
    AdView* view =
        createAdView(&panel, nullptr, QUrl(u"http://"_s + station_->address() + u"/ad/"_s));
    panel.show();
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(20000));
    QCOMPARE(loaded.first().first().toBool(), true);
    // Well past the watchdog's limit: a page that answers is left alone.
    QSignalSpy ended(view->adPage(), &AdPage::rendererEndedChanged);
    QVERIFY(!ended.wait(AdPage::kUnresponsiveMs + 2000));
    QVERIFY(view->isVisible());
    QCOMPARE(view->focusPolicy(), Qt::NoFocus);
    QCOMPARE(view->contextMenuPolicy(), Qt::NoContextMenu);
}

namespace {

// Neither gone nor a zombie.
bool alive(qint64 pid) {
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace

void TestAdView::pageRunsOnlyWhileShown() {
    // The window as the viewer's: the panel hidden until a countdown, the keyboard elsewhere.
    QWidget window;
    window.resize(500, 300);
    QWidget& panel = *new QWidget(&window);
    panel.resize(336, 280);
    panel.hide();
    auto* field = new QLineEdit(&window);
    field->move(340, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    field->setFocus();
    AdView* view =
        createAdView(&panel, nullptr, QUrl(u"http://"_s + station_->address() + u"/ad/"_s));
    AdPage* page = view->adPage();
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    // Loaded while hidden, so that the first countdown shows it at once.
    QVERIFY(loaded.wait(20000));
    const qint64 first = page->renderProcessPid();
    QVERIFY(alive(first));

    panel.show(); // the first countdown: the same page, no new load
    QVERIFY(!loaded.wait(500));
    QCOMPARE(page->renderProcessPid(), first);

    panel.hide(); // the countdown is over: the process is ended at once
    QVERIFY(page->resting());
    QVERIFY(!page->rendererEnded());
    QTRY_VERIFY_WITH_TIMEOUT(!alive(first), 1000);
    QTRY_COMPARE(page->renderProcessPid(), 0);

    for (int countdown = 2; countdown <= 3; ++countdown) {
        panel.show(); // the start page anew, in a process of its own
        // Once the engine has told of the ended process, which may come after its pid is gone.
        QTRY_VERIFY_WITH_TIMEOUT(!page->resting(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), countdown, 20000);
        QCOMPARE(loaded.last().first().toBool(), true);
        QCOMPARE(page->url(), QUrl(u"http://"_s + station_->address() + u"/ad/"_s));
        const qint64 next = page->renderProcessPid();
        QVERIFY(alive(next));
        QVERIFY(next != first);
        QVERIFY(view->isVisible());
        // The new process's page never takes the keyboard.
        QCOMPARE(QApplication::focusWidget(), field);
        panel.hide();
        QTRY_VERIFY_WITH_TIMEOUT(!alive(next), 1000);
    }
}

void TestAdView::shownAgainBeforeTheEndIsReported() {
    QWidget panel;
    panel.resize(336, 280);
    AdView* view =
        createAdView(&panel, nullptr, QUrl(u"http://"_s + station_->address() + u"/ad/"_s));
    AdPage* page = view->adPage();
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(20000));
    panel.show();
    const qint64 first = page->renderProcessPid();
    // A countdown ends and the next one starts before the engine has reported the old process
    // gone: that report must not pass for the new page's.
    panel.hide();
    panel.show();
    QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 2, 20000);
    QCOMPARE(loaded.last().first().toBool(), true);
    QVERIFY(!page->rendererEnded());
    QVERIFY(view->isVisible());
    QVERIFY(!alive(first));
    QVERIFY(alive(page->renderProcessPid()));
}

int main(int argc, char* argv[]) {
    prepareProcess(); // the web engine's settings for this process, as in the viewer
    QApplication app(argc, argv);
    TestAdView test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ad_view.moc"
