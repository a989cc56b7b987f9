#include "HostedWindow.h"
#include "playback/MediaPlayer.h"
#include "playback/StreamUrl.h"
#include "settings/Links.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

class TestCountdown : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void overlayUnits();
    void countdownPlaysTheSelection();
    void newSelectionRestartsTheCount();
    void fileOpenedDuringTheCountdownIsReplaced();
    void countdownKeepsTickingUnderAModalDialog();
    void pressOnTheAdvertisementOpensNothing();

  private:
    void choose(int item) {
        hosted_->choose(item);
        QCOMPARE(menu_->SelectedItem(), item);
    }
    QString label(const char* name) const {
        return window_->findChild<QLabel*>(QString::fromUtf8(name))->text();
    }
    bool overlayVisible() const {
        return window_->findChild<QWidget*>(QStringLiteral("广告"))->isVisible();
    }

    std::unique_ptr<HostedWindow> hosted_;
    StationProcess* station_ = nullptr;
    MainWindow* window_ = nullptr;
    RollDownMenu* menu_ = nullptr;
    MediaPlayer* player_ = nullptr;
    QTimer* timer_ = nullptr;
};

void TestCountdown::initTestCase() {
    hosted_ = std::make_unique<HostedWindow>();
    QVERIFY(hosted_->ready());
    station_ = &hosted_->station();
    window_ = &hosted_->window();
    menu_ = &hosted_->menu();
    player_ = &hosted_->player();
    timer_ = window_->findChild<QTimer*>(QStringLiteral("时钟1"));
    QVERIFY(timer_);
}

void TestCountdown::cleanupTestCase() {
    hosted_.reset();
}

void TestCountdown::overlayUnits() {
    QVERIFY(!overlayVisible());
    QCOMPARE(window_->findChild<QWidget*>(QStringLiteral("广告"))->geometry(),
             QRect(121, 54, 336, 280));
    auto* text = window_->findChild<QLabel*>(QStringLiteral("广告字1"));
    QCOMPARE(text->text(), QStringLiteral("广告还有  秒"));
    QCOMPARE(text->geometry(), QRect(483, 9, 80, 24));
    QVERIFY(text->font().bold());
    QCOMPARE(text->font().pixelSize(), 12);
    QCOMPARE(text->palette().color(QPalette::WindowText), QColor(128, 160, 128));
    auto* digit = window_->findChild<QLabel*>(QStringLiteral("广告计时"));
    QCOMPARE(digit->text(), QStringLiteral("5"));
    QCOMPARE(digit->geometry(), QRect(480, 4, 120, 32));
    QVERIFY(digit->font().bold() && digit->font().italic());
    QCOMPARE(digit->font().pixelSize(), 20);
    QCOMPARE(digit->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(digit->alignment() & Qt::AlignHCenter);
    QVERIFY(!timer_->isActive());

    // The web view loads its start address by itself, clipped by its panel.
    QWebEngineView* view = nullptr;
    QTRY_VERIFY(view = window_->findChild<QWebEngineView*>(QStringLiteral("广告1")));
    QCOMPARE(view->geometry(), QRect(-12, -17, 380, 328));
    QTRY_VERIFY_WITH_TIMEOUT(station_->waitForLog(QStringLiteral("GET /ad/"), 0), 20000);
}

void TestCountdown::countdownPlaysTheSelection() {
    choose(0);
    const std::string title = menu_->ItemTitle(0);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Velmora网络电视——") + menu_->itemText(0));
    QVERIFY(overlayVisible());
    QVERIFY(player_->URL().isEmpty());
    QVERIFY(timer_->isActive());
    QCOMPARE(timer_->interval(), 1000);
    QCOMPARE(window_->countdownStep(), 1);
    QCOMPARE(label("广告计时"), QStringLiteral("5"));

    // The ticks come from the real timer in use; here they are driven directly.
    QString shownAtPlay;
    const auto seen = connect(player_, &MediaPlayer::statusChanged, this,
                              [&] { shownAtPlay = label("广告计时"); });
    for (const char* digit : {"4", "3", "2", "1"}) {
        window_->OnAdTimerTick();
        QCOMPARE(label("广告计时"), QString::fromUtf8(digit));
        QVERIFY(player_->URL().isEmpty());
    }
    window_->OnAdTimerTick();
    disconnect(seen);
    // "0" is what shows while the programme is handed to the player.
    QCOMPARE(shownAtPlay, QStringLiteral("0"));
    QCOMPARE(window_->countdownStep(), 6);
    QVERIFY(!timer_->isActive());
    QVERIFY(!overlayVisible());
    QCOMPARE(label("广告计时"), QStringLiteral("5"));
    QCOMPARE(player_->URL(), StreamUrl(title, StreamHost()));
    QVERIFY(player_->URL().startsWith(QStringLiteral("mms://") + station_->address() +
                                      QStringLiteral("/sp/")));
}

void TestCountdown::newSelectionRestartsTheCount() {
    choose(0);
    for (int i = 0; i < 3; ++i)
        window_->OnAdTimerTick();
    QCOMPARE(label("广告计时"), QStringLiteral("2"));
    choose(1);
    QCOMPARE(window_->countdownStep(), 1);
    QCOMPARE(label("广告计时"), QStringLiteral("2")); // until the next tick
    window_->OnAdTimerTick();
    QCOMPARE(label("广告计时"), QStringLiteral("4"));
    for (int i = 0; i < 3; ++i)
        window_->OnAdTimerTick();
    QVERIFY(player_->URL().isEmpty()); // the first selection's count did not carry on
    window_->OnAdTimerTick();
    QCOMPARE(player_->URL(), StreamUrl(menu_->ItemTitle(1), StreamHost()));
    QVERIFY(!timer_->isActive());
}

void TestCountdown::fileOpenedDuringTheCountdownIsReplaced() {
    choose(2);
    window_->OnAdTimerTick();
    window_->OnAdTimerTick();
    const QString file = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.wav");
    player_->setURL(file);
    QCOMPARE(player_->URL(), file);
    // The file really plays meanwhile, under the overlay.
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), MediaPlayer::Status::Playing, 15000);
    QVERIFY(overlayVisible());
    for (int i = 0; i < 3; ++i)
        window_->OnAdTimerTick();
    QCOMPARE(player_->URL(), StreamUrl(menu_->ItemTitle(2), StreamHost()));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Velmora网络电视——") + menu_->itemText(2));
}

void TestCountdown::countdownKeepsTickingUnderAModalDialog() {
    choose(3);
    bool hiddenWhileModal = false;
    QTimer::singleShot(0, this, [&] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("modal"), QStringLiteral("modal"));
        QTimer poll;
        connect(&poll, &QTimer::timeout, &box, [&] {
            if (!overlayVisible()) {
                hiddenWhileModal = true;
                box.accept();
            }
        });
        poll.start(50);
        QTimer::singleShot(9000, &box, &QMessageBox::reject);
        box.exec();
    });
    QTRY_VERIFY_WITH_TIMEOUT(!overlayVisible(), 10000);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(hiddenWhileModal);
    QCOMPARE(player_->URL(), StreamUrl(menu_->ItemTitle(3), StreamHost()));
}

void TestCountdown::pressOnTheAdvertisementOpensNothing() {
    QList<QUrl> opened;
    setDesktopOpener([&](const QUrl& url) { opened << url; });
    choose(0);
    window_->OnAdPressed();
    window_->OnAdWheel();
    QVERIFY(opened.isEmpty());
    QVERIFY(timer_->isActive());
    QCOMPARE(window_->countdownStep(), 1);
    setDesktopOpener({});
}

int main(int argc, char* argv[]) {
    TestCountdown test;
    return runHostedTest(test, argc, argv);
}

#include "tst_countdown.moc"
