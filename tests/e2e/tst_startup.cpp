#include "Processes.h"
#include "catalogue/FileIo.h"
#include "catalogue/HttpGet.h"
#include "catalogue/PageExtraction.h"
#include "catalogue/TvStation.h"

#include <QTest>

namespace {

qint64 timeOf(const ViewerProcess& viewer, const QString& prefix) {
    QList<qint64> times;
    const QStringList events = viewer.events(&times);
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (events[i].startsWith(prefix))
            return times[i];
    }
    return -1;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void fullCatalogue();
    void missingCategoryEndsWithFailure();
};

void TestStartup::fullCatalogue() {
    StationProcess station;
    QVERIFY(station.started());
    ViewerProcess viewer;
    viewer.start(station.address());
    const auto ready = viewer.waitForEvent(QStringLiteral("ready"), 60000);
    QVERIFY2(ready, qPrintable(viewer.events().join(QLatin1Char('\n'))));
    QCOMPARE(*ready, QStringLiteral("ready disabled=播放,暂停,停止"));

    const QStringList events = viewer.events();
    QStringList steps = events.filter(QRegularExpression(QStringLiteral("^step ")));
    QCOMPARE(
        steps,
        (QStringList{QStringLiteral("step 新闻联播..."), QStringLiteral("step 药都时空..."),
                     QStringLiteral("step 走进农家..."), QStringLiteral("step 谯城报道..."),
                     QStringLiteral("step 药都论坛..."), QStringLiteral("step 正在生成列表...")}));
    QCOMPARE(events.filter(QRegularExpression(QStringLiteral("^group "))),
             (QStringList{QStringLiteral("group 新闻联播 50"), QStringLiteral("group 药都时空 50"),
                          QStringLiteral("group 走进农家 20"), QStringLiteral("group 谯城报道 48"),
                          QStringLiteral("group 药都论坛 7")}));
    const qint64 shown = timeOf(viewer, QStringLiteral("loading-shown"));
    const qint64 closed = timeOf(viewer, QStringLiteral("loading-closed"));
    QVERIFY(shown > 0);
    QVERIFY2(closed - shown >= 2000, qPrintable(QString::number(closed - shown)));
    QVERIFY(!events.contains(QStringLiteral("incomplete-data")));

    // Each list file holds exactly its page's content section, as served.
    const QString dir = viewer.programDirectory();
    std::string expectedCatalogue;
    for (const CategoryRow& row : TvStation::categories()) {
        const std::string page =
            HttpGet("http://" + station.address().toStdString() + row.pagePath);
        const std::string section = cutContentSection(page);
        QVERIFY(section.size() > 1000);
        QCOMPARE(readWholeFile(dir + row.listFile).value(), section);
        for (const std::string& line : extractEntryLines(row, section))
            expectedCatalogue += line;
    }
    const std::string catalogue = readWholeFile(dir + QStringLiteral("/spsj.txt")).value();
    QCOMPARE(catalogue, expectedCatalogue);
    QCOMPARE(std::count(catalogue.begin(), catalogue.end(), '\n'), 175L);
    QCOMPARE(catalogue.substr(0, 9), std::string("\xd0\xc2\xce\xc5\xc1\xaa\xb2\xa5|"));

    // Closing the window ends the program normally.
    QCOMPARE(viewer.endWithKey(QStringLiteral("Velmora网络电视"), QStringLiteral("ctrl+q"), 15000),
             0);
}

void TestStartup::missingCategoryEndsWithFailure() {
    StationProcess station({QStringLiteral("--fault"), QStringLiteral("5=404")});
    QVERIFY(station.started());
    ViewerProcess viewer;
    viewer.start(station.address());
    QVERIFY(viewer.waitForEvent(QStringLiteral("incomplete-data"), 60000));
    // The four categories that answered keep their files.
    const QString dir = viewer.programDirectory();
    for (const CategoryRow& row : TvStation::categories())
        QCOMPARE(fileSize(dir + row.listFile).value_or(-1) > 0, row.number != 5);
    const std::string catalogue = readWholeFile(dir + QStringLiteral("/spsj.txt")).value();
    QCOMPARE(std::count(catalogue.begin(), catalogue.end(), '\n'), 175L);
    QVERIFY(station.waitForLog(QStringLiteral("100639.shtml"), 1000));

    // The window stays up until the message is dismissed; then the start fails.
    QCOMPARE(viewer.process().state(), QProcess::Running);
    QCOMPARE(viewer.endWithKey(QStringLiteral("错误！"), QStringLiteral("Return"), 15000), 1);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
