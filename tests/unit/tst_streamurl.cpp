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
    void streamHost();
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
    // A title cut after the first byte of 闻: the stray byte shows as U+FFFD, the rest survives.
    QTest::newRow("split character")
        << QByteArray("\xD0\xC2\xCE") << host + QStringLiteral("%E6%96%B0%EF%BF%BD.wmv");
}

void TestStreamUrl::encodesTitle() {
    QFETCH(QByteArray, gbkTitle);
    QFETCH(QString, expected);
    const std::string title(gbkTitle.constData(), size_t(gbkTitle.size()));
    QCOMPARE(StreamUrl(title, QStringLiteral("tv.example:8080")), expected);
}

// Whatever the title holds, the address parses as one path "/sp/<title>.wmv" on the host.
void TestStreamUrl::serverReceivesExactlyTheTitle() {
    const QList<QByteArray> titles = {
        QByteArray("a b%c#d?e&f=g+h;i"), QByteArray("\xD2\xA9\xB6\xBC\xCA\xB1\xBF\xD5 [1/2]"),
        QByteArray("..%2e/x"), QByteArray("\xA3\xA8\xC9\xCF\xA3\xA9 \"'<>\\")};
    for (const QByteArray& bytes : titles) {
        const QString url = StreamUrl(std::string(bytes.constData(), size_t(bytes.size())),
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

void TestStreamUrl::streamHost() {
    qputenv("VELMORA_STATION", "127.0.0.1:18080");
    QCOMPARE(StreamHost(), QStringLiteral("127.0.0.1:18080"));
    qunsetenv("VELMORA_STATION");
    QCOMPARE(StreamHost(), QStringLiteral(VELMORA_STATION_HOST));
    qputenv("VELMORA_STATION", "");
    QCOMPARE(StreamHost(), QStringLiteral(VELMORA_STATION_HOST));
    qunsetenv("VELMORA_STATION");
}

QTEST_GUILESS_MAIN(TestStreamUrl)
#include "tst_streamurl.moc"
