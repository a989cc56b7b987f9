#include "HostedWindow.h"
#include "playback/MediaPlayer.h"
#include "settings/Links.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

namespace {

// The first group's first four programmes as the station lists them, percent-encoded as UTF-8.
const char* const kEncodedTitles[] = {
    "%E6%96%B0%E9%97%BB%E8%81%94%E6%92%AD0112%E6%9C%9F", // 新闻联播0112期
    "%E6%96%B0%E9%97%BB%E8%81%94%E6%92%AD0111%E6%9C%9F", // 新闻联播0111期
    "%E6%96%B0%E9%97%BB%E8%81%94%E6%92%AD0110%E6%9C%9F", // 新闻联播0110期
    "%E6%96%B0%E9%97%BB%E8%81%94%E6%92%AD0109%E6%9C%9F", // 新闻联播0109期
};
const char* const kTitles[] = {"新闻联播0112期", "新闻联播0111期", "新闻联播0110期",
                               "新闻联播0109期"};

} // namespace

class TestCountdown : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void overlayUnits();
    void countdownPlaysTheSelection();
    void newSelectionRestartsTheCount();
    void countdownCatchesUpWithLostTicks();
    void fileOpenedDuringTheCountdownIsReplaced();
    void countdownKeepsTickingUnderAModalDialog();
    void pressOnTheAdvertisementOpensNothing();

  private:
    QString streamOf(int item) const {
        return QStringLiteral("mms://") + station_->address() + QStringLiteral("/sp/") +
               QLatin1String(kEncodedTitles[item]) + QStringLiteral(".wmv");
    }
    void tick() { hosted_->tick(); }
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
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Velmora网络电视——") + QString::fromUtf8(kTitles[0]));
    QVERIFY(overlayVisible());
    QVERIFY(player_->URL().isEmpty());
    QVERIFY(timer_->isActive());
    QCOMPARE(timer_->interval(), 1000);
    QCOMPARE(window_->countdown().step(), 1);
    QCOMPARE(label("广告计时"), QStringLiteral("5"));

    QString shownAtPlay;
    const auto seen = connect(player_, &MediaPlayer::statusChanged, this,
                              [&] { shownAtPlay = label("广告计时"); });
    for (const char* digit : {"4", "3", "2", "1"}) {
        tick();
        QCOMPARE(label("广告计时"), QString::fromUtf8(digit));
        QVERIFY(player_->URL().isEmpty());
    }
    tick();
    disconnect(seen);
    // "0" is what shows while the programme is handed to the player.
    QCOMPARE(shownAtPlay, QStringLiteral("0"));
    QCOMPARE(window_->countdown().step(), 6);
    QVERIFY(!timer_->isActive());
    QVERIFY(!overlayVisible());
    QCOMPARE(label("广告计时"), QStringLiteral("5"));
    QCOMPARE(player_->URL(), streamOf(0));
}

void TestCountdown::newSelectionRestartsTheCount() {
    choose(0);
    for (int i = 0; i < 3; ++i)
        tick();
    QCOMPARE(label("广告计时"), QStringLiteral("2"));
    choose(1);
    QCOMPARE(window_->countdown().step(), 1);
    QVERIFY(timer_->isActive());                      // the new selection starts the timer again
    QCOMPARE(label("广告计时"), QStringLiteral("2")); // until the next tick
    tick();
    QCOMPARE(label("广告计时"), QStringLiteral("4"));
    for (int i = 0; i < 3; ++i)
        tick();
    QVERIFY(player_->URL().isEmpty()); // the first selection's count did not carry on
    tick();
    QCOMPARE(player_->URL(), streamOf(1));
    QVERIFY(!timer_->isActive());
}

// While the window's thread is held the timer's ticks are lost; the next tick shows the seconds
// that are really left, and a hold past the end plays at once.
void TestCountdown::countdownCatchesUpWithLostTicks() {
    choose(0);
    hosted_->hold(2500);
    tick();
    QCOMPARE(label("广告计时"), QStringLiteral("2"));
    tick();
    QCOMPARE(label("广告计时"), QStringLiteral("1"));
    QVERIFY(player_->URL().isEmpty());
    tick();
    QCOMPARE(player_->URL(), streamOf(0));

    choose(1);
    hosted_->hold(9000);
    tick();
    QCOMPARE(player_->URL(), streamOf(1));
    QCOMPARE(window_->countdown().step(), 6);
    QVERIFY(!timer_->isActive());
    QVERIFY(!overlayVisible());
}

void TestCountdown::fileOpenedDuringTheCountdownIsReplaced() {
    choose(2);
    tick();
    tick();
    const QString file = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.wav");
    player_->setURL(file);
    QCOMPARE(player_->URL(), file);
    // The file really plays meanwhile, under the overlay.
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), MediaPlayer::Status::Playing, 15000);
    QVERIFY(overlayVisible());
    for (int i = 0; i < 3; ++i)
        tick();
    QCOMPARE(player_->URL(), streamOf(2));
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Velmora网络电视——") + QString::fromUtf8(kTitles[2]));
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
    QCOMPARE(player_->URL(), streamOf(3));
}

// A real click and a real wheel turn on the page reach the handlers through the view's own
// input widget, and neither opens anything nor touches the count.
void TestCountdown::pressOnTheAdvertisementOpensNothing() {
    QList<QUrl> opened;
    setDesktopOpener([&](const QUrl& url) { opened << url; });
    QSignalSpy pressed(window_, &MainWindow::adPressed);
    QSignalSpy wheeled(window_, &MainWindow::adWheelTurned);
    auto* view = window_->findChild<QWebEngineView*>(QStringLiteral("广告1"));
    QVERIFY(view);
    // The page draws into a child the engine adds once the page is up.
    QTRY_VERIFY_WITH_TIMEOUT(view->focusProxy(), 20000);
    QWidget* page = view->focusProxy();
    choose(0);
    // The count stays where it is while the test presses: the timer runs, but not within reach.
    timer_->start(3600000);
    const QPoint inPanel = page->mapFrom(view, QPoint(12 + 168, 17 + 140));
    QTest::mouseClick(page, Qt::LeftButton, {}, inPanel);
    QTest::mouseClick(page, Qt::RightButton, {}, inPanel);
    QCOMPARE(pressed.count(), 1);
    QWheelEvent wheel(inPanel, page->mapToGlobal(inPanel), {}, {0, -120}, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(page, &wheel);
    QCOMPARE(wheeled.count(), 1);
    QVERIFY(opened.isEmpty());
    QVERIFY(timer_->isActive());
    QCOMPARE(timer_->interval(), 3600000);
    QCOMPARE(window_->countdown().step(), 1);
    tick();
    QCOMPARE(label("广告计时"), QStringLiteral("4"));
    setDesktopOpener({});
}

int main(int argc, char* argv[]) {
    TestCountdown test;
    return runHostedTest(test, argc, argv);
}

#include "tst_countdown.moc"
