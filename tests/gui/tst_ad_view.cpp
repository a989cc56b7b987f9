// The advertisement view on its own, with real pages from the station: a page whose render
// process ends leaves the panel blank, a sound page stays.
#include "Processes.h"
#include "app/ProcessSetup.h"
#include "ui/AdView.h"

#include <QApplication>
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

int main(int argc, char* argv[]) {
    prepareProcess(); // the web engine's settings for this process, as in the viewer
    QApplication app(argc, argv);
    TestAdView test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ad_view.moc"
