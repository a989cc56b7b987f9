#include "HostedWindow.h"
#include "playback/MediaPlayer.h"
#include "ui/MainWindow.h"
#include "ui/RollDownMenu.h"

#include <QFile>
#include <QTest>
#include <QTimer>

namespace {

qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    }
    return -1;
}

} // namespace

// Hostile use of the player through the main window: rapid choices, writes of absurd
// locations, files opened mid-countdown. Nothing may crash, stick or grow without bound.
class TestPlayerStress : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void rapidSelectionsAndOddLocations();

  private:
    void choose(int item) { hosted_->choose(item); }

    std::unique_ptr<HostedWindow> hosted_;
    RollDownMenu* menu_ = nullptr;
    MediaPlayer* player_ = nullptr;
};

void TestPlayerStress::initTestCase() {
    hosted_ = std::make_unique<HostedWindow>();
    QVERIFY(hosted_->ready());
    menu_ = &hosted_->menu();
    player_ = &hosted_->player();
}

void TestPlayerStress::cleanupTestCase() {
    hosted_.reset();
}

void TestPlayerStress::rapidSelectionsAndOddLocations() {
    const QString file = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.wmv");
    const QStringList odd = {
        QString(64 * 1024, QLatin1Char('a')),
        QStringLiteral("http://") + QString(64 * 1024, QLatin1Char('x')),
        QStringLiteral("\x01\x02\t\r\n\x1b[0m"),
        QStringLiteral("gopher+weird://nowhere/clip.wmv"),
        QStringLiteral("nosuchscheme:clip"),
        QStringLiteral("/no/such/folder/clip.wmv"),
        QStringLiteral("   "),
        QStringLiteral("mms://") + hosted_->station().address() + QStringLiteral("/sp/missing.wmv"),
    };
    // Let the first play settle so that the baseline includes libVLC's own start-up.
    choose(0);
    for (int i = 0; i < 5; ++i)
        hosted_->tick();
    QTRY_VERIFY_WITH_TIMEOUT(player_->paintedFrames() > 0, 20000);

    qint64 baseline = 0;
    for (int round = 0; round < 300; ++round) {
        choose(round % 7);
        if (round % 3 == 0)
            player_->setURL(file); // a file opened during the countdown
        if (round % 5 == 0)
            player_->setURL(odd[(round / 5) % odd.size()]);
        if (round % 10 == 9) {
            for (int i = 0; i < 5; ++i)
                hosted_->tick(); // the countdown ends and the stream starts
        }
        QCoreApplication::processEvents();
        if (round == 49)
            baseline = residentKiB();
        if (round % 100 == 99)
            qInfo("round %d: %lld KiB", round + 1, static_cast<long long>(residentKiB()));
    }
    const qint64 after = residentKiB();
    qInfo("resident memory after 50 rounds: %lld KiB, after 300: %lld KiB (%+.1f %%)",
          static_cast<long long>(baseline), static_cast<long long>(after),
          100.0 * double(after - baseline) / double(baseline));
    QVERIFY2(after < baseline * 11 / 10, "resident memory grew by 10 % or more");

    // Nothing is stuck: the last countdown still ends in a stream that plays.
    choose(1);
    for (int i = 0; i < 5; ++i)
        hosted_->tick();
    QCOMPARE(player_->URL(), QStringLiteral("mms://") + hosted_->station().address() +
                                 QStringLiteral("/sp/%E6%96%B0%E9%97%BB%E8%81%94%E6%92%AD0111"
                                                "%E6%9C%9F.wmv")); // 新闻联播0111期
    const qint64 frames = player_->paintedFrames();
    QTRY_VERIFY_WITH_TIMEOUT(player_->paintedFrames() > frames + 5, 20000);
}

int main(int argc, char* argv[]) {
    TestPlayerStress test;
    return runHostedTest(test, argc, argv);
}

#include "tst_player_stress.moc"
