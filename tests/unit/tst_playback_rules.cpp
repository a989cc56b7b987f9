// The player's pure rules: how a broken-off stream is retried, and what an address is.
#include "playback/Location.h"
#include "playback/ReconnectPlan.h"

#include <QTest>

class TestPlaybackRules : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void reconnectWaitsOneTwoFourThenGivesUp();
    void reconnectResumesFromTheFurthestPoint();
    void endedShortOnlyWellBeforeAKnownLength();
    void locationKinds_data();
    void locationKinds();
    void probeTargets_data();
    void probeTargets();
};

void TestPlaybackRules::reconnectWaitsOneTwoFourThenGivesUp() {
    ReconnectPlan plan;
    QVERIFY(!plan.active());
    QCOMPARE(plan.attempt(), 0);
    plan.brokeOff(6200);
    QVERIFY(plan.active());
    QList<qint64> waits;
    QList<int> attempts;
    while (const auto wait = plan.next()) {
        waits << wait->count();
        attempts << plan.attempt();
    }
    QCOMPARE(waits, (QList<qint64>{1000, 2000, 4000}));
    QCOMPARE(attempts, (QList<int>{1, 2, 3}));
    QVERIFY(!plan.active());
    QCOMPARE(plan.resumeAt(), -1);

    // A plan that ended starts afresh at the next break.
    plan.brokeOff(100);
    QCOMPARE(plan.next()->count(), 1000);
    QCOMPARE(plan.attempt(), 1);
}

void TestPlaybackRules::reconnectResumesFromTheFurthestPoint() {
    ReconnectPlan plan;
    plan.brokeOff(6000);
    plan.next();
    // The attempt played from 6 s and broke off again before it had gained a second.
    QVERIFY(!plan.recovered(6900, 6000));
    plan.brokeOff(6900);
    QCOMPARE(plan.resumeAt(), 6900);
    QCOMPARE(plan.attempt(), 1); // still the same plan: the next is attempt 2
    plan.next();
    QCOMPARE(plan.attempt(), 2);
    // One that started over from the beginning does not move it back.
    plan.brokeOff(2000);
    QCOMPARE(plan.resumeAt(), 6900);
    QVERIFY(!plan.recovered(7800, 0));
    QVERIFY(plan.recovered(7900, 0));

    // Unseekable: only what the attempt itself played counts.
    ReconnectPlan live;
    live.brokeOff(-1);
    live.next();
    live.brokeOff(5000);
    QCOMPARE(live.resumeAt(), -1);
    QVERIFY(!live.recovered(900, 0));
    QVERIFY(live.recovered(31000, 30000));
}

void TestPlaybackRules::endedShortOnlyWellBeforeAKnownLength() {
    QVERIFY(endedShort(2901, 8046));
    QVERIFY(endedShort(0, 8046));
    QVERIFY(!endedShort(6046, 8046));
    QVERIFY(!endedShort(7900, 8046));
    QVERIFY(!endedShort(9000, 8046));
    QVERIFY(!endedShort(1000, 0)); // a live stream's end is not known to be short
}

void TestPlaybackRules::locationKinds_data() {
    QTest::addColumn<QString>("location");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("path");
    const int file = int(LocationKind::LocalFile);
    const int network = int(LocationKind::Network);
    const int other = int(LocationKind::Other);
    QTest::newRow("path") << QStringLiteral("/srv/片段 1.wmv") << file
                          << QStringLiteral("/srv/片段 1.wmv");
    QTest::newRow("relative") << QStringLiteral("a.mp3") << file << QStringLiteral("a.mp3");
    QTest::newRow("spaces") << QStringLiteral("   ") << file << QStringLiteral("   ");
    QTest::newRow("file url") << QStringLiteral("file:///srv/a%20b.wmv") << file
                              << QStringLiteral("/srv/a b.wmv");
    QTest::newRow("mms") << QStringLiteral("mms://host/sp/a.wmv") << network << QString();
    QTest::newRow("MMSH, upper case") << QStringLiteral("MMSH://host/a") << network << QString();
    QTest::newRow("rtsp") << QStringLiteral("rtsp://host/a") << network << QString();
    QTest::newRow("unknown") << QStringLiteral("velmoraxyz://host/a") << other << QString();
    QTest::newRow("windows drive is a path")
        << QStringLiteral("C:\\clips\\a.wmv") << file << QStringLiteral("C:\\clips\\a.wmv");
}

void TestPlaybackRules::locationKinds() {
    QFETCH(QString, location);
    QFETCH(int, kind);
    QFETCH(QString, path);
    QCOMPARE(int(locationKind(location)), kind);
    QCOMPARE(localPathOf(location), path);
}

void TestPlaybackRules::probeTargets_data() {
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("http");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("mms, port") << QStringLiteral("mms://127.0.0.1:8080/sp/新闻 1.wmv")
                               << QStringLiteral("127.0.0.1") << 8080 << true
                               << QByteArray("/sp/%E6%96%B0%E9%97%BB%201.wmv");
    QTest::newRow("mms falls back to HTTP on 80")
        << QStringLiteral("mms://host/a.wmv") << QStringLiteral("host") << 80 << true
        << QByteArray("/a.wmv");
    QTest::newRow("http, query") << QStringLiteral("http://host:81/a?x=1&y=%20")
                                 << QStringLiteral("host") << 81 << true
                                 << QByteArray("/a?x=1&y=%20");
    QTest::newRow("no path") << QStringLiteral("http://host") << QStringLiteral("host") << 80
                             << true << QByteArray("/");
    QTest::newRow("https connects only")
        << QStringLiteral("https://host/a") << QStringLiteral("host") << 443 << false
        << QByteArray("/a");
    QTest::newRow("udp: nothing to ask")
        << QStringLiteral("udp://@239.0.0.1:1234") << QString() << 0 << false << QByteArray();
    QTest::newRow("a file") << QStringLiteral("/srv/a.wmv") << QString() << 0 << false
                            << QByteArray();
    QTest::newRow("no host") << QStringLiteral("http:///a") << QString() << 0 << false
                             << QByteArray();
}

void TestPlaybackRules::probeTargets() {
    QFETCH(QString, location);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, http);
    QFETCH(QByteArray, path);
    const ProbeTarget target = probeTargetFor(location);
    QCOMPARE(target.host, host);
    QCOMPARE(int(target.port), port);
    QCOMPARE(target.http, http);
    QCOMPARE(target.path, path);
}

QTEST_GUILESS_MAIN(TestPlaybackRules)
#include "tst_playback_rules.moc"
