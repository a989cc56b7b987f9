// Full screen: the bar and the cursor go after 2.5 s of no mouse or key and come back on either,
// status changes show over the picture meanwhile, and F, Esc and a double click leave. The
// player's timers are the test's, so no test waits for the idle time to pass.
#include "HostedWindow.h"
#include "ManualTimers.h"
#include "playback/MediaPlayer.h"

#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QToolButton>

using Status = MediaPlayer::Status;

class TestFullScreen : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void controlsGoWhenIdleAndComeBackOnMouseOrKey();
    void statusShowsBrieflyWhileTheBarIsGone();
    void leavingShowsEverythingAgain_data();
    void leavingShowsEverythingAgain();

  private:
    void enterAndIdle();
    ManualTimer* idle() const { return timers_.find(QStringLiteral("fullScreenIdle")); }
    bool barShown() const { return bar_->isVisible(); }
    bool cursorHidden() const { return screen_->cursor().shape() == Qt::BlankCursor; }

    ManualTimers timers_;
    std::unique_ptr<MediaPlayer> player_;
    QWidget* screen_ = nullptr;
    QWidget* video_ = nullptr;
    QWidget* bar_ = nullptr;
};

void TestFullScreen::init() {
    EngineOptions options{.audioOutput = "adummy"};
    options.timers = timers_.factory();
    player_ = std::make_unique<MediaPlayer>(options);
    player_->resize(574, 440);
    player_->show();
    QVERIFY(QTest::qWaitForWindowExposed(player_.get()));
    screen_ = player_->findChild<QWidget*>(QStringLiteral("playerScreen"));
    video_ = player_->findChild<QWidget*>(QStringLiteral("videoView"));
    bar_ = player_->findChild<QWidget*>(QStringLiteral("transportBar"));
    QVERIFY(screen_ && video_ && bar_);
}

void TestFullScreen::cleanup() {
    player_.reset();
}

void TestFullScreen::enterAndIdle() {
    QTest::keyClick(player_.get(), Qt::Key_F);
    QVERIFY(player_->fullScreen());
    QTRY_VERIFY(screen_->windowState() & Qt::WindowFullScreen);
    QVERIFY(idle()->fire());
    QVERIFY(!barShown());
    QVERIFY(cursorHidden());
}

void TestFullScreen::controlsGoWhenIdleAndComeBackOnMouseOrKey() {
    // Outside full screen nothing hides.
    QVERIFY(!idle()->isActive());
    QTest::keyClick(player_.get(), Qt::Key_F);
    QVERIFY(barShown());
    QVERIFY(!cursorHidden());
    QVERIFY(idle()->isActive());
    QCOMPARE(idle()->starts(), QList<qint64>{2500});

    QVERIFY(idle()->fire());
    QVERIFY(!barShown());
    QVERIFY(cursorHidden());
    // The picture takes the whole screen.
    QTRY_COMPARE(video_->height(), screen_->height());

    QTest::mouseMove(video_, QPoint(40, 40));
    QTRY_VERIFY(barShown());
    QVERIFY(!cursorHidden());
    QVERIFY(idle()->isActive());
    QCOMPARE(idle()->starts().size(), 2);

    QVERIFY(idle()->fire());
    QVERIFY(!barShown());
    const int volume = player_->volume();
    QTest::keyClick(screen_, Qt::Key_Up);
    QVERIFY(barShown());
    QVERIFY(!cursorHidden());
    QCOMPARE(player_->volume(), volume + 5); // the key does its work too
    QCOMPARE(idle()->starts().size(), 3);

    QVERIFY(idle()->fire());
    QTest::mouseMove(video_, QPoint(80, 60));
    QTRY_VERIFY(barShown());
}

void TestFullScreen::statusShowsBrieflyWhileTheBarIsGone() {
    auto* status = player_->findChild<QLabel*>(QStringLiteral("fullScreenStatus"));
    QVERIFY(status);
    QTest::keyClick(player_.get(), Qt::Key_F);
    // With the bar there, the bar says it.
    player_->setURL(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"));
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), Status::Playing, 10000);
    QVERIFY(!status->isVisible());

    // Space brings the bar back for a moment; the pause it makes lands once the bar is gone.
    QVERIFY(idle()->fire());
    QTest::keyClick(screen_, Qt::Key_Space);
    QVERIFY(idle()->fire());
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), Status::Paused, 5000);
    QVERIFY(!barShown());
    QVERIFY(status->isVisible());
    QCOMPARE(status->text(), QStringLiteral("已暂停"));
    ManualTimer* shown = timers_.find(QStringLiteral("fullScreenStatus"));
    QVERIFY(shown && shown->isActive());
    QCOMPARE(shown->starts().last(), 2500);
    QVERIFY(shown->fire());
    QVERIFY(!status->isVisible());
    QVERIFY(!barShown());
    QTRY_VERIFY(screen_->windowState() & Qt::WindowFullScreen);
    QTRY_COMPARE(video_->size(), screen_->screen()->size());
    saveShot(*screen_, QStringLiteral("fullscreen-bar-hidden"));

    // The next change shows again, over the picture's top left corner.
    player_->setURL(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.wav"));
    QVERIFY(status->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("正在播放"), 10000);
    QVERIFY(status->geometry().right() < screen_->width() / 2);
    QVERIFY(status->geometry().bottom() < screen_->height() / 2);
    // The bar coming back takes the status over.
    QTest::mouseMove(video_, QPoint(30, 30));
    QTRY_VERIFY(barShown());
    QVERIFY(!status->isVisible());
}

void TestFullScreen::leavingShowsEverythingAgain_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("F") << QStringLiteral("F");
    QTest::newRow("Esc") << QStringLiteral("Esc");
    QTest::newRow("double click") << QStringLiteral("double click");
}

void TestFullScreen::leavingShowsEverythingAgain() {
    QFETCH(QString, how);
    enterAndIdle();
    if (how == QLatin1String("F"))
        QTest::keyClick(screen_, Qt::Key_F);
    else if (how == QLatin1String("Esc"))
        QTest::keyClick(screen_, Qt::Key_Escape);
    else
        QTest::mouseDClick(video_, Qt::LeftButton);
    QVERIFY(!player_->fullScreen());
    QVERIFY(barShown());
    QVERIFY(!cursorHidden());
    QVERIFY(!idle()->isActive());
    QTRY_COMPARE(screen_->geometry(), player_->rect());
    // Nothing hides outside full screen, however long it is left alone.
    QVERIFY(!idle()->fire());
    QVERIFY(barShown());
}

QTEST_MAIN(TestFullScreen)
#include "tst_fullscreen.moc"
