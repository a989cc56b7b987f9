#include "catalogue/TvStation.h"

#include <QStringDecoder>
#include <QTest>
#include <QUrl>

class TestTvStation : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void categories_data();
    void categories();
    void finishedLabelsCloseWithoutSeparator();
    void categoryByExactLabel();
    void endpointsAndFiles();
    void encodesTitle_data();
    void encodesTitle();
    void serverReceivesExactlyTheTitle();
    void namesTheTitleTheMenuShows();
    void bytesThatDoNotDecodeStayApart();
};

void TestTvStation::categories_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("labelHex");
    QTest::addColumn<QString>("stepText");
    QTest::addColumn<QString>("listFile");
    QTest::addColumn<QByteArray>("pagePath");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QByteArray>("anchor");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("pacing");
    QTest::addColumn<bool>("cleanEnd");
    QTest::newRow("新闻联播") << 1 << QByteArray("d0 c2 ce c5 c1 aa b2 a5")
                              << QStringLiteral("新闻联播...") << QStringLiteral("/xzwj/xwlb.txt")
                              << QByteArray("/index/4/20100112/100813.shtml") << 50
                              << QByteArray("<strong>") << 39 << 200 << false;
    QTest::newRow("药都时空") << 2 << QByteArray("d2 a9 b6 bc ca b1 bf d5")
                              << QStringLiteral("药都时空...") << QStringLiteral("/xzwj/ydsk.txt")
                              << QByteArray("/index/4/20100112/100751.shtml") << 50
                              << QByteArray("<strong>") << 8 << 400 << false;
    QTest::newRow("走进农家") << 3 << QByteArray("d7 df bd f8 c5 a9 bc d2")
                              << QStringLiteral("走进农家...") << QStringLiteral("/xzwj/zjnj.txt")
                              << QByteArray("/index/4/20100112/100702.shtml") << 20
                              << QByteArray("<strong>") << 39 << 600 << false;
    QTest::newRow("谯城报道") << 4 << QByteArray("da db b3 c7 b1 a8 b5 c0")
                              << QStringLiteral("谯城报道...") << QStringLiteral("/xzwj/qcbd.txt")
                              << QByteArray("/index/4/20100112/100727.shtml") << 48
                              << QByteArray("<strong>") << 39 << 800 << false;
    // The last category's titles are the 14 bytes before "</a>": their end is clean.
    QTest::newRow("药都论坛") << 5 << QByteArray("d2 a9 b6 bc c2 db cc b3")
                              << QStringLiteral("药都论坛...") << QStringLiteral("/xzwj/ydlt.txt")
                              << QByteArray("/index/4/20100112/100639.shtml") << 7
                              << QByteArray("</a>") << -14 << 1000 << true;
}

void TestTvStation::categories() {
    QFETCH(int, number);
    QFETCH(QByteArray, labelHex);
    QFETCH(QString, stepText);
    QFETCH(QString, listFile);
    QFETCH(QByteArray, pagePath);
    QFETCH(int, entries);
    QFETCH(QByteArray, anchor);
    QFETCH(int, offset);
    QFETCH(int, pacing);
    QFETCH(bool, cleanEnd);
    QCOMPARE(TvStation::categories().size(), size_t(5));
    const CategoryRow& row = TvStation::categories().at(size_t(number - 1));
    QCOMPARE(row.number, number);
    QCOMPARE(QByteArray::fromStdString(row.label).toHex(' '), labelHex);
    QCOMPARE(row.stepText, stepText);
    QCOMPARE(row.listFile, listFile);
    QCOMPARE(QByteArray::fromStdString(row.pagePath), pagePath);
    QCOMPARE(row.entryCount, entries);
    QCOMPARE(QByteArray::fromStdString(row.titleAnchor), anchor);
    QCOMPARE(row.titleOffset, offset);
    QCOMPARE(row.pacingThreshold, pacing);
    QCOMPARE(row.titleCut, cleanEnd ? GbkCut::CleanEnd : GbkCut::CleanStart);
}

// The run appends each finished label to 编辑框2; the menu's groups are that text split at "|".
void TestTvStation::finishedLabelsCloseWithoutSeparator() {
    std::string finished;
    for (const CategoryRow& row : TvStation::categories())
        finished += row.finishedText;
    QCOMPARE(QByteArray::fromStdString(finished),
             QByteArray("\xd0\xc2\xce\xc5\xc1\xaa\xb2\xa5|\xd2\xa9\xb6\xbc\xca\xb1\xbf\xd5|"
                        "\xd7\xdf\xbd\xf8\xc5\xa9\xbc\xd2|\xda\xdb\xb3\xc7\xb1\xa8\xb5\xc0|"
                        "\xd2\xa9\xb6\xbc\xc2\xdb\xcc\xb3"));
}

void TestTvStation::categoryByExactLabel() {
    const CategoryRow* last = TvStation::categoryByLabel("\xd2\xa9\xb6\xbc\xc2\xdb\xcc\xb3");
    QVERIFY(last);
    QCOMPARE(last->number, 5);
    // 药都时空 and 药都论坛 share their first four bytes; neither a prefix nor a label with its
    // separator names a category.
    QVERIFY(!TvStation::categoryByLabel("\xd2\xa9\xb6\xbc"));
    QVERIFY(!TvStation::categoryByLabel("\xd0\xc2\xce\xc5\xc1\xaa\xb2\xa5|"));
    QVERIFY(!TvStation::categoryByLabel(""));
    // The label's UTF-8 bytes are not its GBK bytes.
    QVERIFY(!TvStation::categoryByLabel("新闻联播"));
}

void TestTvStation::endpointsAndFiles() {
    const TvStation station(QStringLiteral("tv.example:8080"),
                            QStringLiteral("http://ad.example/enter?MDS=1"));
    QCOMPARE(station.host(), QStringLiteral("tv.example:8080"));
    QCOMPARE(station.adUrl(), QStringLiteral("http://ad.example/enter?MDS=1"));
    QCOMPARE(station.pageUrl(TvStation::categories()[0]),
             std::string("http://tv.example:8080/index/4/20100112/100813.shtml"));
    QCOMPARE(station.pageUrl(TvStation::categories()[4]),
             std::string("http://tv.example:8080/index/4/20100112/100639.shtml"));
    QCOMPARE(TvStation::viewerName(), QStringLiteral("Velmora网络电视"));
    QCOMPARE(TvStation::downloadFolder(), QStringLiteral("/xzwj"));
    QCOMPARE(TvStation::catalogueFile(), QStringLiteral("/spsj.txt"));
    // A window made without a configuration has a station with no endpoints.
    QVERIFY(TvStation().host().isEmpty());
    QVERIFY(TvStation().adUrl().isEmpty());
}

void TestTvStation::encodesTitle_data() {
    QTest::addColumn<QByteArray>("gbkTitle");
    QTest::addColumn<QString>("expected");
    const QString host = QStringLiteral("mms://tv.example:8080/sp/");

    QTest::newRow("plain") << QByteArray("News") << host + QStringLiteral("News.wmv");
    QTest::newRow("unreserved stay")
        << QByteArray("A-z_0.9~") << host + QStringLiteral("A-z_0.9~.wmv");
    QTest::newRow("space") << QByteArray("a b") << host + QStringLiteral("a%20b.wmv");
    QTest::newRow("percent") << QByteArray("100%") << host + QStringLiteral("100%25.wmv");
    QTest::newRow("hash and query")
        << QByteArray("a#b?c") << host + QStringLiteral("a%23b%3Fc.wmv");
    QTest::newRow("slash stays in the name")
        << QByteArray("a/b") << host + QStringLiteral("a%2Fb.wmv");
    QTest::newRow("chinese") << QByteArray("\xD0\xC2\xCE\xC5\xC1\xAA\xB2\xA5")
                             << host + QStringLiteral("%E6%96%B0%E9%97%BB%E8%81%94%E6%92%AD.wmv");
    QTest::newRow("mixed") << QByteArray("\xD0\xC2\xCE\xC5 2024")
                           << host + QStringLiteral("%E6%96%B0%E9%97%BB%202024.wmv");
    QTest::newRow("empty") << QByteArray() << host + QStringLiteral(".wmv");
    // A title cut after the first byte of 闻: the stray byte goes as itself, the rest survives.
    QTest::newRow("split character")
        << QByteArray("\xD0\xC2\xCE") << host + QStringLiteral("%E6%96%B0%CE.wmv");
}

void TestTvStation::encodesTitle() {
    QFETCH(QByteArray, gbkTitle);
    QFETCH(QString, expected);
    const std::string title(gbkTitle.constData(), size_t(gbkTitle.size()));
    QCOMPARE(TvStation(QStringLiteral("tv.example:8080")).streamUrl(decodeGbk(title)), expected);
}

// Whatever the title holds, the address parses as one path "/sp/<title>.wmv" on the host.
void TestTvStation::serverReceivesExactlyTheTitle() {
    const QList<QByteArray> titles = {
        QByteArray("a b%c#d?e&f=g+h;i"), QByteArray("\xD2\xA9\xB6\xBC\xCA\xB1\xBF\xD5 [1/2]"),
        QByteArray("..%2e/x"), QByteArray("\xA3\xA8\xC9\xCF\xA3\xA9 \"'<>\\")};
    for (const QByteArray& bytes : titles) {
        const QString url =
            TvStation(QStringLiteral("127.0.0.1:9"))
                .streamUrl(decodeGbk(std::string(bytes.constData(), size_t(bytes.size()))));
        const QUrl parsed(url, QUrl::StrictMode);
        QVERIFY2(parsed.isValid(), qPrintable(url));
        QCOMPARE(parsed.scheme(), QStringLiteral("mms"));
        QCOMPARE(parsed.authority(), QStringLiteral("127.0.0.1:9"));
        QVERIFY(!parsed.hasQuery());
        QVERIFY(!parsed.hasFragment());
        const QByteArray path = parsed.path(QUrl::FullyEncoded).toLatin1();
        QVERIFY(path.startsWith("/sp/") && path.endsWith(".wmv"));
        const QByteArray name = path.mid(4, path.size() - 8);
        QVERIFY2(!name.contains('/'), path.constData());
        QCOMPARE(QString::fromUtf8(QByteArray::fromPercentEncoding(name)),
                 QString(QStringDecoder("GBK").decode(bytes)));
    }
}

// The last category cuts its titles backwards from "</a>", so a title may start on the second
// byte of a character. The address must name what the menu shows: the stray byte first, then
// the whole characters, not a different pairing read from the front.
void TestTvStation::namesTheTitleTheMenuShows() {
    // 论坛第一期 cut one byte into 论 (C2 DB): DB, then 坛第一期 whole.
    const std::string cut = "\xDB\xCC\xB3\xB5\xDA\xD2\xBB\xC6\xDA";
    const GbkDecoded title = decodeGbk(cut, GbkCut::CleanEnd);
    QCOMPARE(title.text, QString(QChar::ReplacementCharacter) + QStringLiteral("坛第一期"));
    QCOMPARE(TvStation(QStringLiteral("tv.example")).streamUrl(title),
             QStringLiteral("mms://tv.example/sp/%DB%E5%9D%9B%E7%AC%AC%E4%B8%80%E6%9C%9F.wmv"));
}

// Titles that differ only in bytes that do not decode are different programmes.
void TestTvStation::bytesThatDoNotDecodeStayApart() {
    const TvStation station(QStringLiteral("tv.example"));
    QCOMPARE(station.streamUrl(decodeGbk("A\x80")), QStringLiteral("mms://tv.example/sp/A%80.wmv"));
    QCOMPARE(station.streamUrl(decodeGbk("A\xFF")), QStringLiteral("mms://tv.example/sp/A%FF.wmv"));
    // A lead byte at the very end, after whole characters.
    QCOMPARE(station.streamUrl(decodeGbk("\xD0\xC2\xC1")),
             QStringLiteral("mms://tv.example/sp/%E6%96%B0%C1.wmv"));
}

QTEST_GUILESS_MAIN(TestTvStation)
#include "tst_tv_station.moc"
