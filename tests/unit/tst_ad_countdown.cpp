#include "ui/AdCountdown.h"

#include <QTest>

// Clock readings start far from zero: the countdown must count from its start, not from the
// clock's origin.
class TestAdCountdown : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void ticksOnTimeCountFiveSeconds();
    void earlyTicksStillCountOneEach();
    void lostTicksAreCaughtUp();
};

void TestAdCountdown::ticksOnTimeCountFiveSeconds() {
    AdCountdown count;
    count.start(7'000'000);
    QCOMPARE(count.remaining(), 5);
    QCOMPARE(count.step(), 1);
    QCOMPARE(count.tick(7'001'000), 4);
    QCOMPARE(count.tick(7'002'000), 3);
    QCOMPARE(count.tick(7'003'000), 2);
    QCOMPARE(count.tick(7'004'000), 1);
    QVERIFY(!count.finished());
    QCOMPARE(count.tick(7'005'000), 0);
    QVERIFY(count.finished());

    count.start(9'000'000); // a new selection counts afresh
    QCOMPARE(count.remaining(), 5);
    QVERIFY(!count.finished());
}

// A timer may fire a little early, or a test may tick without time passing: one step each, never
// two for one tick.
void TestAdCountdown::earlyTicksStillCountOneEach() {
    AdCountdown count;
    count.start(500);
    QCOMPARE(count.tick(1450), 4);
    QCOMPARE(count.tick(2400), 3);
    QCOMPARE(count.tick(2400), 2);
    QCOMPARE(count.tick(2400), 1);
    QCOMPARE(count.tick(2400), 0);
    QVERIFY(count.finished());
}

void TestAdCountdown::lostTicksAreCaughtUp() {
    AdCountdown count;
    count.start(10'000);
    QCOMPARE(count.tick(11'000), 4);
    QCOMPARE(count.tick(14'300), 1); // the ticks of 12 and 13 s were lost
    QCOMPARE(count.tick(15'000), 0);
    QVERIFY(count.finished());

    count.start(20'000);
    QCOMPARE(count.tick(29'232), 0); // held past the end: ends at once, not below zero
    QVERIFY(count.finished());
    QCOMPARE(count.step(), 6);
}

QTEST_APPLESS_MAIN(TestAdCountdown)
#include "tst_ad_countdown.moc"
