#include "playback/StreamUrl.h"

#include <QStringDecoder>
#include <QTest>
#include <QUrl>

class TestStreamUrl : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void encodesTitle_data();
    void encodesTitle();
    void serverReceivesExactlyTheTitle();
    void namesTheTitleTheMenuShows();
    void bytesThatDoNotDecodeStayApart();
};

void TestStreamUrl::encodesTitle_data() {
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

void TestStreamUrl::encodesTitle() {
    QFETCH(QByteArray, gbkTitle);
    QFETCH(QString, expected);
    const std::string title(gbkTitle.constData(), size_t(gbkTitle.size()));
    QCOMPARE(StreamUrl(decodeGbk(title), QStringLiteral("tv.example:8080")), expected);
}

// Whatever the title holds, the address parses as one path "/sp/<title>.wmv" on the host.
void TestStreamUrl::serverReceivesExactlyTheTitle() {
    const QList<QByteArray> titles = {
        QByteArray("a b%c#d?e&f=g+h;i"), QByteArray("\xD2\xA9\xB6\xBC\xCA\xB1\xBF\xD5 [1/2]"),
        QByteArray("..%2e/x"), QByteArray("\xA3\xA8\xC9\xCF\xA3\xA9 \"'<>\\")};
    for (const QByteArray& bytes : titles) {
        const QString url =
            StreamUrl(decodeGbk(std::string(bytes.constData(), size_t(bytes.size()))),
                      QStringLiteral("127.0.0.1:9"));
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
void TestStreamUrl::namesTheTitleTheMenuShows() {
    // 论坛第一期 cut one byte into 论 (C2 DB): DB, then 坛第一期 whole.
    const std::string cut = "\xDB\xCC\xB3\xB5\xDA\xD2\xBB\xC6\xDA";
    const GbkDecoded title = decodeGbk(cut, GbkCut::CleanEnd);
    QCOMPARE(title.text, QString(QChar::ReplacementCharacter) + QStringLiteral("坛第一期"));
    QCOMPARE(StreamUrl(title, QStringLiteral("tv.example")),
             QStringLiteral("mms://tv.example/sp/%DB%E5%9D%9B%E7%AC%AC%E4%B8%80%E6%9C%9F.wmv"));
}

// Titles that differ only in bytes that do not decode are different programmes.
void TestStreamUrl::bytesThatDoNotDecodeStayApart() {
    const QString host = QStringLiteral("tv.example");
    QCOMPARE(StreamUrl(decodeGbk("A\x80"), host), QStringLiteral("mms://tv.example/sp/A%80.wmv"));
    QCOMPARE(StreamUrl(decodeGbk("A\xFF"), host), QStringLiteral("mms://tv.example/sp/A%FF.wmv"));
    // A lead byte at the very end, after whole characters.
    QCOMPARE(StreamUrl(decodeGbk("\xD0\xC2\xC1"), host),
             QStringLiteral("mms://tv.example/sp/%E6%96%B0%C1.wmv"));
}

QTEST_GUILESS_MAIN(TestStreamUrl)
#include "tst_streamurl.moc"
