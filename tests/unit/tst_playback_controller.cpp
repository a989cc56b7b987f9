// The playback object and the player's actions without any widget: real libVLC playing the
// station's clips from disk into its frame buffers, keys as plain key events.
#include "playback/PlaybackController.h"
#include "playback/PlayerActions.h"

#include <QAction>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};
const QString kLong = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"); // 40 s
constexpr int kPlayerMs = 20000; // bounds a failure; libVLC answers in well under a second

bool press(PlayerActions& actions, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           bool repeat = false) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), repeat);
    return actions.handleKey(&event);
}

QStringList texts(const QList<QAction*>& actions) {
    QStringList out;
    for (const QAction* action : actions)
        out << (action ? action->text() : u"-"_s);
    return out;
}

} // namespace

class TestPlaybackController : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void soundAndSpeedAreClampedAndAnnouncedOnce();
    void openingNamesWhatPlays();
    void anOverlongAddressIsRefusedWithItsReason();
    void commandsActOnlyWhereTheyMeanSomething();
    void aNoticeStandsInForTheStatusForItsTime();
    void keysReachTheirActionsOrPassOn();
    void actionsShowWhatCanBeDoneNow();
};

void TestPlaybackController::soundAndSpeedAreClampedAndAnnouncedOnce() {
    PlaybackController playback(kSilent);
    QCOMPARE(playback.volume(), 50);
    QSignalSpy volume(&playback, &PlaybackController::volumeChanged);
    playback.setVolume(120);
    playback.setVolume(100);
    playback.setVolume(-5);
    QCOMPARE(volume.size(), 2);
    QCOMPARE(volume.at(0).at(0).toInt(), 100);
    QCOMPARE(playback.volume(), 0);

    QSignalSpy muted(&playback, &PlaybackController::mutedChanged);
    playback.setMuted(true);
    playback.setMuted(true);
    QCOMPARE(muted.size(), 1);
    QVERIFY(playback.isMuted());

    QSignalSpy rate(&playback, &PlaybackController::rateChanged);
    playback.setRate(3);
    QCOMPARE(playback.rate(), 2.0);
    playback.setRate(0.1);
    QCOMPARE(playback.rate(), 0.5);
    // The speed is the opening's: the next one starts at normal speed.
    playback.open(kLong);
    QCOMPARE(playback.rate(), 1.0);
    QCOMPARE(rate.size(), 3);
}

void TestPlaybackController::openingNamesWhatPlays() {
    PlaybackController playback(kSilent);
    QSignalSpy titles(&playback, &PlaybackController::titleChanged);
    QSignalSpy locations(&playback, &PlaybackController::locationChanged);
    playback.open(kLong);
    QCOMPARE(playback.title(), u"demo-long.wmv"_s);
    playback.open(kLong, 0, u"新闻联播0112"_s);
    QCOMPARE(playback.title(), u"新闻联播0112"_s);
    QCOMPARE(locations.size(), 1); // the same location twice
    playback.open(u"mms://127.0.0.1:9/sp/%E6%96%B0%20%E9%97%BB.wmv"_s);
    QCOMPARE(playback.title(), u"新 闻.wmv"_s);
    playback.open(u"file:///tmp/a%20b/c.mp3"_s);
    QCOMPARE(playback.title(), u"c.mp3"_s);
    playback.open(QString());
    QCOMPARE(playback.title(), QString());
    QCOMPARE(playback.status(), PlayerStatus::Idle);
    QCOMPARE(titles.size(), 5);
    QCOMPARE(locations.size(), 4);
}

void TestPlaybackController::anOverlongAddressIsRefusedWithItsReason() {
    PlaybackController playback(kSilent);
    playback.open(kLong);
    QSignalSpy statuses(&playback, &PlaybackController::statusChanged);
    playback.open(u"http://127.0.0.1/"_s + QString(32768 - 17, u'a'));
    QCOMPARE(playback.location(), QString());
    QCOMPARE(playback.status(), PlayerStatus::Idle);
    QCOMPARE(playback.statusText(), u"地址过长（32768 个字符，最多 32767 个），未播放"_s);
    QVERIFY(!statuses.isEmpty());
    // The longest address the player takes is opened.
    const QString longest = u"http://127.0.0.1:9/"_s + QString(32767 - 19, u'a');
    playback.open(longest);
    QCOMPARE(playback.location(), longest);
}

void TestPlaybackController::commandsActOnlyWhereTheyMeanSomething() {
    PlaybackController playback(kSilent);
    playback.pause(); // nothing open: nothing to do
    QCOMPARE(playback.status(), PlayerStatus::Idle);
    playback.open(kLong);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
    QTRY_VERIFY_WITH_TIMEOUT(playback.seekable() && playback.length() > 39000, kPlayerMs);

    playback.pause();
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Paused, kPlayerMs);
    playback.pause(); // a paused programme stays paused
    playback.togglePause();
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);

    QSignalSpy seeked(&playback, &PlaybackController::seeked);
    playback.seekTo(20000);
    playback.seekBy(-10000); // from where the last seek went, not from where libVLC was
    QCOMPARE(seeked.size(), 2);
    QCOMPARE(seeked.at(0).at(0).toLongLong(), 20000);
    QCOMPARE(seeked.at(1).at(0).toLongLong(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(playback.position() >= 10000 && playback.position() < 19000,
                             kPlayerMs);
    // Past the end the programme ends: no seek is announced.
    playback.seekTo(45000);
    QCOMPARE(seeked.size(), 2);
    QCOMPARE(playback.status(), PlayerStatus::Stopped);
    QCOMPARE(playback.position(), 0);
    QCOMPARE(playback.location(), kLong);
    playback.pause();
    QCOMPARE(playback.status(), PlayerStatus::Stopped);
    playback.play();
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
    playback.stop();
    QCOMPARE(playback.status(), PlayerStatus::Stopped);
    QCOMPARE(playback.statusText(), u"已停止"_s);
}

void TestPlaybackController::aNoticeStandsInForTheStatusForItsTime() {
    PlaybackController playback(kSilent);
    playback.open(u"/nonexistent/节目.wmv"_s);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::CannotPlay, kPlayerMs);
    const QString failure = playback.statusText();
    // A failure is never covered.
    playback.showNotice(u"从 00:15 继续播放"_s, 60000);
    QCOMPARE(playback.statusText(), failure);

    playback.open(QString());
    QSignalSpy texts(&playback, &PlaybackController::statusTextChanged);
    playback.showNotice(u"从 00:15 继续播放"_s, 100);
    QCOMPARE(playback.statusText(), u"从 00:15 继续播放"_s);
    QCOMPARE(texts.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(playback.statusText(), u"就绪"_s, 5000);
    QCOMPARE(texts.size(), 2);
    // Another opening takes a notice back at once.
    playback.showNotice(u"x"_s, 60000);
    playback.open(kLong);
    QVERIFY(playback.statusText() != u"x"_s);
}

void TestPlaybackController::keysReachTheirActionsOrPassOn() {
    PlaybackController playback(kSilent);
    PlayerActions actions(playback);
    QSignalSpy fullScreen(&actions, &PlayerActions::fullScreenRequested);

    QVERIFY(press(actions, Qt::Key_Space));   // the player's, even with nothing to play
    QVERIFY(!press(actions, Qt::Key_Return)); // only after a failure
    QVERIFY(!press(actions, Qt::Key_Escape)); // only in full screen
    QVERIFY(!press(actions, Qt::Key_Space, Qt::ControlModifier));
    QVERIFY(!press(actions, Qt::Key_Home));
    QVERIFY(press(actions, Qt::Key_M, Qt::ShiftModifier));
    QVERIFY(playback.isMuted());
    QVERIFY(press(actions, Qt::Key_M, Qt::NoModifier, true)); // a held key toggles once
    QVERIFY(playback.isMuted());
    QVERIFY(press(actions, Qt::Key_VolumeMute));
    QVERIFY(!playback.isMuted());
    QVERIFY(press(actions, Qt::Key_Up));
    QVERIFY(press(actions, Qt::Key_Up, Qt::NoModifier, true)); // the volume follows a held key
    QCOMPARE(playback.volume(), 60);
    QVERIFY(press(actions, Qt::Key_VolumeDown));
    QCOMPARE(playback.volume(), 55);

    QVERIFY(press(actions, Qt::Key_F));
    QCOMPARE(fullScreen.size(), 1);
    QCOMPARE(fullScreen.at(0).at(0).toBool(), true);
    actions.showFullScreen(true);
    QVERIFY(press(actions, Qt::Key_Escape));
    QCOMPARE(fullScreen.at(1).at(0).toBool(), false);
    actions.showFullScreen(false);
    QVERIFY(!press(actions, Qt::Key_Escape));

    playback.open(u"/nonexistent/节目.wmv"_s);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::CannotPlay, kPlayerMs);
    QSignalSpy statuses(&playback, &PlaybackController::statusChanged);
    QVERIFY(press(actions, Qt::Key_Enter)); // tries the same address again
    QVERIFY(!statuses.isEmpty());
    QCOMPARE(statuses.at(0).at(0).value<PlayerStatus>(), PlayerStatus::Connecting);
}

void TestPlaybackController::actionsShowWhatCanBeDoneNow() {
    PlaybackController playback(kSilent);
    PlayerActions actions(playback);
    QCOMPARE(texts(actions.menuActions()),
             (QStringList{u"播放"_s, u"停止"_s, u"-"_s, u"快退 10 秒"_s, u"快进 10 秒"_s, u"-"_s,
                          u"减速"_s, u"加速"_s, u"-"_s, u"增大音量"_s, u"减小音量"_s, u"静音"_s,
                          u"-"_s, u"截图"_s, u"全屏"_s}));
    QVERIFY(!actions.playPause->isEnabled());
    QVERIFY(!actions.stop->isEnabled());
    QVERIFY(!actions.seekForward->isEnabled());
    QVERIFY(actions.volumeUp->isEnabled());
    QCOMPARE(actions.playPause->shortcut(), QKeySequence(Qt::Key_Space));

    playback.open(kLong);
    QVERIFY(actions.playPause->isEnabled());
    QCOMPARE(actions.playPause->text(), u"暂停"_s); // connecting counts as running
    QTRY_VERIFY_WITH_TIMEOUT(actions.seekForward->isEnabled(), kPlayerMs);
    actions.pause->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(actions.playPause->text(), u"播放"_s, kPlayerMs);
    playback.seekTo(0);
    actions.seekForward->trigger();
    QCOMPARE(playback.position(), 10000);
    actions.mute->trigger();
    QVERIFY(playback.isMuted() && actions.mute->isChecked());
    playback.setMuted(false);
    QVERIFY(!actions.mute->isChecked());

    actions.showFullScreen(true);
    QCOMPARE(actions.fullScreen->text(), u"退出全屏"_s);
    QVERIFY(actions.fullScreen->isChecked());
    playback.open(QString());
    QVERIFY(!actions.playPause->isEnabled());
    QVERIFY(!actions.seekForward->isEnabled());
}

QTEST_MAIN(TestPlaybackController)
#include "tst_playback_controller.moc"
