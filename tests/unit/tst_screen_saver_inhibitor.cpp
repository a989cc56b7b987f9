// The screen kept on while a video plays, against stand-ins of the desktop's screen saver and
// portal on a bus of the test's own, with real libVLC playing the station's clips from disk. The
// stand-ins answer on a thread of their own, as the real services answer from other processes,
// so that what the viewer waits for on its way out is answered meanwhile.
#include "DesktopStandIn.h"
#include "SessionBus.h"
#include "app/ScreenSaverInhibitor.h"
#include "playback/PlaybackController.h"

#include <QTest>
#include <QThread>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};
const QString kLong = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"); // 40 s
const QString kSound = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.mp3");   // 2.5 s
constexpr int kPlayerMs = 20000; // bounds a failure; libVLC answers in well under a second
const QString kInhibit = u"Inhibit Velmora网络电视 正在播放视频 -> %1"_s;
const QString kHandle = u"/org/freedesktop/portal/desktop/request/standin/%1"_s;

// A stand-in answering on its own thread, for the life of the test.
class Desktop {
  public:
    Desktop(SessionBus& bus, DesktopStandIn::Service service)
        : standIn_(std::make_unique<DesktopStandIn>(bus.connect(u"desktop"_s), service)) {
        standIn_->moveToThread(&thread_);
        thread_.start();
    }
    ~Desktop() {
        thread_.quit();
        thread_.wait();
    }
    DesktopStandIn& operator*() { return *standIn_; }
    DesktopStandIn* operator->() { return standIn_.get(); }
    // Lets the held answers go from the stand-in's own thread.
    void answerHeldLater() {
        QMetaObject::invokeMethod(standIn_.get(), [s = standIn_.get()] { s->answerHeld(); });
    }

  private:
    QThread thread_;
    std::unique_ptr<DesktopStandIn> standIn_;
};

void waitPlaying(PlaybackController& playback) {
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
}

} // namespace

class TestScreenSaverInhibitor : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void heldWhileAVideoPlaysAndOnlyThen();
    void aGrantThatComesTooLateIsGivenBack();
    void thePortalStandsInWhereNoScreenSaverIs();
    void goingAwayGivesBackWhatIsHeldOrOnItsWay();
};

void TestScreenSaverInhibitor::heldWhileAVideoPlaysAndOnlyThen() {
    SessionBus bus;
    QVERIFY(bus.started());
    Desktop desktop(bus, DesktopStandIn::Service::ScreenSaver);
    QVERIFY(desktop->registered());
    PlaybackController playback(kSilent);
    ScreenSaverInhibitor inhibitor(playback, bus.connect(u"viewer"_s));

    // Sound alone keeps nothing on, however long it plays.
    playback.open(kSound);
    waitPlaying(playback);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Stopped, kPlayerMs);
    QVERIFY(desktop->calls().isEmpty());

    // Pictures: held once, however many arrive; given back on pause, stop and the end.
    playback.open(kLong);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls(), QStringList{kInhibit.arg(1)}, kPlayerMs);
    // The stand-in records a call before its answer is on the way.
    QTRY_VERIFY(inhibitor.held());
    playback.pause();
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls().value(1), u"UnInhibit 1"_s, kPlayerMs);
    QVERIFY(!inhibitor.held());
    playback.play();
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls().value(2), kInhibit.arg(2), kPlayerMs);
    playback.stop();
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls().value(3), u"UnInhibit 2"_s, kPlayerMs);
    playback.play();
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls().value(4), kInhibit.arg(3), kPlayerMs);
    QTRY_VERIFY_WITH_TIMEOUT(playback.length() > 0, kPlayerMs);
    playback.seekTo(playback.length());
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls().value(5), u"UnInhibit 3"_s, kPlayerMs);
    // A failure holds nothing either.
    playback.open(u"/nonexistent/clip.wmv"_s);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::CannotPlay, kPlayerMs);
    QCOMPARE(desktop->calls(), (QStringList{kInhibit.arg(1), u"UnInhibit 1"_s, kInhibit.arg(2),
                                            u"UnInhibit 2"_s, kInhibit.arg(3), u"UnInhibit 3"_s}));
}

void TestScreenSaverInhibitor::aGrantThatComesTooLateIsGivenBack() {
    SessionBus bus;
    QVERIFY(bus.started());
    Desktop desktop(bus, DesktopStandIn::Service::ScreenSaver);
    PlaybackController playback(kSilent);
    ScreenSaverInhibitor inhibitor(playback, bus.connect(u"viewer"_s));

    desktop->holdAnswers();
    playback.open(kLong);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls(), QStringList{kInhibit.arg(1)}, kPlayerMs);
    // Paused and resumed while the screen saver has not answered: still the one request.
    playback.pause();
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Paused, kPlayerMs);
    playback.play();
    waitPlaying(playback);
    playback.pause();
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Paused, kPlayerMs);
    desktop.answerHeldLater();
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls(), (QStringList{kInhibit.arg(1), u"UnInhibit 1"_s}),
                              kPlayerMs);
    QVERIFY(!inhibitor.held());
    playback.play();
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls().value(2), kInhibit.arg(2), kPlayerMs);
    QTRY_VERIFY(inhibitor.held());
}

void TestScreenSaverInhibitor::thePortalStandsInWhereNoScreenSaverIs() {
    SessionBus bus;
    QVERIFY(bus.started());
    Desktop portal(bus, DesktopStandIn::Service::Portal);
    QVERIFY(portal->registered());
    PlaybackController playback(kSilent);
    ScreenSaverInhibitor inhibitor(playback, bus.connect(u"viewer"_s));

    playback.open(kLong);
    QTRY_COMPARE_WITH_TIMEOUT(
        portal->calls(), QStringList{u"Inhibit 8 正在播放视频 -> "_s + kHandle.arg(1)}, kPlayerMs);
    playback.stop();
    QTRY_COMPARE_WITH_TIMEOUT(portal->calls().value(1), u"Close "_s + kHandle.arg(1), kPlayerMs);
}

void TestScreenSaverInhibitor::goingAwayGivesBackWhatIsHeldOrOnItsWay() {
    SessionBus bus;
    QVERIFY(bus.started());
    Desktop desktop(bus, DesktopStandIn::Service::ScreenSaver);
    PlaybackController playback(kSilent);

    // Held: given back before the object is gone, while the program can still say so.
    auto inhibitor = std::make_unique<ScreenSaverInhibitor>(playback, bus.connect(u"viewer"_s));
    playback.open(kLong);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls(), QStringList{kInhibit.arg(1)}, kPlayerMs);
    inhibitor.reset();
    QCOMPARE(desktop->calls().value(1), u"UnInhibit 1"_s);

    // Asked for and not yet granted: the grant is waited for and given back.
    desktop->holdAnswers();
    inhibitor = std::make_unique<ScreenSaverInhibitor>(playback, bus.connect(u"viewer2"_s));
    playback.open(kLong);
    QTRY_COMPARE_WITH_TIMEOUT(desktop->calls().value(2), kInhibit.arg(2), kPlayerMs);
    desktop.answerHeldLater();
    inhibitor.reset();
    QCOMPARE(desktop->calls().mid(3), QStringList{u"UnInhibit 2"_s});
}

QTEST_GUILESS_MAIN(TestScreenSaverInhibitor)
#include "tst_screen_saver_inhibitor.moc"
