#include "ui/AdPolicy.h"

#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

class TestAdPolicy : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void onlyWebAddresses_data();
    void onlyWebAddresses();
    void budgetRefusesAHandfulMore();
    void budgetSlides();
    void heldMemoryLeavesMappedFilesOut_data();
    void heldMemoryLeavesMappedFilesOut();
};

void TestAdPolicy::onlyWebAddresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("http") << u"http://ad.example.cn/0a1b2c3d4e/enter?MDS=00"_s << true;
    QTest::newRow("https") << u"https://ad.example.cn/x"_s << true;
    QTest::newRow("scheme in capitals") << u"HTTP://ad.example.cn/"_s << true;
    QTest::newRow("loopback with port") << u"http://127.0.0.1:8080/ad/"_s << true;
    QTest::newRow("file") << u"file:///etc/passwd"_s << false;
    QTest::newRow("file with host") << u"file://localhost/etc/passwd"_s << false;
    QTest::newRow("browser page") << u"chrome://crash"_s << false;
    QTest::newRow("source view") << u"view-source:http://ad.example.cn/"_s << false;
    QTest::newRow("data") << u"data:text/html,<h1>x</h1>"_s << false;
    QTest::newRow("script") << u"javascript:alert(1)"_s << false;
    QTest::newRow("blank") << u"about:blank"_s << false;
    QTest::newRow("mail") << u"mailto:victim@example.com"_s << false;
    QTest::newRow("custom scheme") << u"velmora-evil://steal"_s << false;
    QTest::newRow("ftp") << u"ftp://127.0.0.1/"_s << false;
    QTest::newRow("http without host") << u"http:/etc/passwd"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TestAdPolicy::onlyWebAddresses() {
    QFETCH(QString, address);
    QFETCH(bool, allowed);
    QCOMPARE(isWebAddress(QUrl(address)), allowed);
}

void TestAdPolicy::budgetRefusesAHandfulMore() {
    NavigationBudget budget(6, 60000);
    for (int i = 0; i < 6; ++i)
        QVERIFY(budget.take(1000 + i));
    // A page reloading itself as fast as it can is refused from the seventh load on.
    for (int i = 0; i < 100; ++i)
        QVERIFY(!budget.take(1006 + i));
    QVERIFY(!budget.take(60999));
    QVERIFY(budget.take(61000)); // the first load has left the window
    QVERIFY(!budget.take(61000));
}

void TestAdPolicy::budgetSlides() {
    NavigationBudget budget(2, 1000);
    QVERIFY(budget.take(0));
    QVERIFY(budget.take(600));
    QVERIFY(!budget.take(999));
    QVERIFY(budget.take(1000));
    QVERIFY(!budget.take(1599));
    QVERIFY(budget.take(1600));
    // Refusals are not counted: a page that keeps trying gets in as soon as the window allows.
    for (int t = 1601; t < 2000; ++t)
        QVERIFY(!budget.take(t));
    QVERIFY(budget.take(2000));
}

void TestAdPolicy::heldMemoryLeavesMappedFilesOut_data() {
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<qint64>("held");
    // As a render process's /proc/PID/status gives them.
    const QByteArray head = "Name:\tQtWebEngineProc\nUmask:\t0022\nState:\tS (sleeping)\n"
                            "VmPeak:\t33554432 kB\nVmSize:\t33554432 kB\nVmHWM:\t  812004 kB\n"
                            "VmRSS:\t  811000 kB\n";
    QTest::newRow("hoarding page")
        << head + "RssAnon:\t  700120 kB\nRssFile:\t   98880 kB\nRssShmem:\t   12000 kB\n"
                  "VmData:\t 1048576 kB\n"
        << qint64(712120);
    QTest::newRow("nothing held") << head + "RssAnon:\t       0 kB\nRssFile:\t   98880 kB\n"
                                            "RssShmem:\t       0 kB\n"
                                  << qint64(0);
    QTest::newRow("no shared memory line") << QByteArray("RssAnon:\t 4096 kB\n") << qint64(4096);
    // A process that has ended leaves no file to read, a kernel thread no such lines.
    QTest::newRow("empty") << QByteArray() << qint64(-1);
    QTest::newRow("kernel thread")
        << QByteArray("Name:\tkworker/0:1\nState:\tI (idle)\n") << qint64(-1);
    QTest::newRow("garbled number")
        << QByteArray("RssAnon:\t x kB\nRssShmem:\t 8 kB\n") << qint64(8);
}

void TestAdPolicy::heldMemoryLeavesMappedFilesOut() {
    QFETCH(QByteArray, status);
    QFETCH(qint64, held);
    QCOMPARE(rendererHeldKiB(status), held);
}

QTEST_GUILESS_MAIN(TestAdPolicy)
#include "tst_adpolicy.moc"
