// Which changes of the player's status a screen reader is told.
#include "playback/StatusAnnouncer.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestStatusAnnouncer : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void newStatesAreTold();
    void noticesAreToldEachTimeTheyAreGiven();
};

void TestStatusAnnouncer::newStatesAreTold() {
    StatusAnnouncer announcer(PlayerStatus::Idle, QString());
    QVERIFY(announcer.tell(PlayerStatus::Connecting, u"正在连接..."_s));
    QVERIFY(announcer.tell(PlayerStatus::Buffering, u"正在缓冲 0%"_s));
    QVERIFY(announcer.tell(PlayerStatus::Playing, u"正在播放"_s));
    QVERIFY(announcer.tell(PlayerStatus::Paused, u"已暂停"_s));
    // Buffering again after a pause, with the text it had before: a new state all the same.
    QVERIFY(announcer.tell(PlayerStatus::Buffering, u"正在缓冲 0%"_s));
}

void TestStatusAnnouncer::noticesAreToldEachTimeTheyAreGiven() {
    StatusAnnouncer announcer(PlayerStatus::Playing, u"正在播放"_s);
    QVERIFY(announcer.tell(PlayerStatus::Playing, u"从 00:15 继续播放"_s));
    // The same notice given again (the speed key pressed at the limit) is told again.
    QVERIFY(announcer.tell(PlayerStatus::Playing, u"速度 2×"_s));
    QVERIFY(announcer.tell(PlayerStatus::Playing, u"速度 2×"_s));
    // The state changes beneath a notice that still shows: nothing new to tell.
    QVERIFY(!announcer.tell(PlayerStatus::Buffering, u"速度 2×"_s));
    QVERIFY(!announcer.tell(PlayerStatus::Playing, u"速度 2×"_s));
    // The notice goes: the state is told.
    QVERIFY(announcer.tell(PlayerStatus::Playing, u"正在播放"_s));
}

QTEST_GUILESS_MAIN(TestStatusAnnouncer)
#include "tst_status_announcer.moc"
