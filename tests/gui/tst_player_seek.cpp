#include "Processes.h"
#include "playback/MediaPlayer.h"

#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Status = MediaPlayer::Status;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};

// A station that streams one clip for every title.
struct OneClipStation {
    explicit OneClipStation(const char* clip) {
        QFile::copy(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/") + QLatin1String(clip),
                    dir.filePath(QLatin1String(clip)));
        station =
            std::make_unique<StationProcess>(QStringList{QStringLiteral("--media"), dir.path()});
    }
    QString url() const {
        return QStringLiteral("mms://") + station->address() + QStringLiteral("/sp/a.wmv");
    }
    QTemporaryDir dir;
    std::unique_ptr<StationProcess> station;
};

QString timeText(const MediaPlayer& player) {
    return player.findChild<QLabel*>(QStringLiteral("timeLabel"))->text();
}

// Every text the time label took: a time, then the length or "--:--", nothing else.
class TimeLabelWatch : public QObject {
  public:
    explicit TimeLabelWatch(MediaPlayer& player)
        : label_(player.findChild<QLabel*>(QStringLiteral("timeLabel"))) {
        label_->installEventFilter(this);
    }
    QStringList odd() const { return odd_; }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        static const QRegularExpression sane(QStringLiteral("^[0-5]\\d:[0-5]\\d / "
                                                            "([0-5]\\d:[0-5]\\d|--:--)$"));
        if (event->type() == QEvent::Paint && !sane.match(label_->text()).hasMatch())
            odd_ << label_->text();
        return false;
    }

  private:
    QLabel* label_;
    QStringList odd_;
};

void showPlayer(MediaPlayer& player) {
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
}

void key(MediaPlayer& player, Qt::Key key) {
    QTest::keyClick(&player, key);
}

} // namespace

class TestPlayerSeek : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pauseAtTwoOfEightThenRightEndsIt();
    void seekPastTheEnd_data();
    void seekPastTheEnd();
    void pauseSeekAndResumeInAnyOrder_data();
    void pauseSeekAndResumeInAnyOrder();
    void seekBeforeTheStartStopsAtTheStart();
    void seekBeforeTheLengthIsKnown();
    void pauseWhileTheStreamFirstBuffers();
};

// The sequence users reported: it used to show "00:08 / 7038592:49:23 正在缓冲 0%" for good, and
// Space did nothing.
void TestPlayerSeek::pauseAtTwoOfEightThenRightEndsIt() {
    OneClipStation station("demo-colours.wmv"); // 8 s
    QVERIFY(station.station->started());
    MediaPlayer player(kSilent);
    showPlayer(player);
    const TimeLabelWatch watch(player);
    player.setURL(station.url());
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QCOMPARE(timeText(player).right(5), QStringLiteral("00:08"));
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= 2000, 10000);
    key(player, Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Paused, 5000);

    key(player, Qt::Key_Right);
    // As at the natural end: stopped, nothing shown, ready to play again.
    QCOMPARE(player.status(), Status::Stopped);
    QCOMPARE(player.statusText(), QStringLiteral("已停止"));
    QCOMPARE(timeText(player), QStringLiteral("00:00 / --:--"));
    QCOMPARE(player.URL(), station.url());

    key(player, Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() > 500, 10000);
    QVERIFY2(player.time() < 4000, qPrintable(QString::number(player.time())));
    QVERIFY2(watch.odd().isEmpty(), qPrintable(watch.odd().join(u'|')));
}

void TestPlayerSeek::seekPastTheEnd_data() {
    QTest::addColumn<bool>("stream");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<int>("presses");
    QTest::newRow("stream, paused") << true << true << 1;
    QTest::newRow("stream, playing") << true << false << 1;
    QTest::newRow("file, paused, three presses") << false << true << 3;
    QTest::newRow("file, playing") << false << false << 1;
}

void TestPlayerSeek::seekPastTheEnd() {
    QFETCH(bool, stream);
    QFETCH(bool, paused);
    QFETCH(int, presses);
    OneClipStation station("demo-colours.wmv");
    QVERIFY(station.station->started());
    const QString location =
        stream ? station.url() : QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-colours.wmv");
    MediaPlayer player(kSilent);
    showPlayer(player);
    QSignalSpy statuses(&player, &MediaPlayer::statusChanged);
    player.setURL(location);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= 1000, 10000);
    if (paused) {
        key(player, Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Paused, 5000);
    }
    for (int i = 0; i < presses; ++i)
        key(player, Qt::Key_Right);
    QCOMPARE(player.status(), Status::Stopped);
    QCOMPARE(timeText(player), QStringLiteral("00:00 / --:--"));
    // Nothing more happens to a medium that has ended.
    statuses.clear();
    key(player, Qt::Key_Right);
    key(player, Qt::Key_Left);
    QTest::qWait(300);
    QCOMPARE(player.status(), Status::Stopped);
    QCOMPARE(statuses.count(), 0);
}

// Seeks within the 40 s clip, typed in these orders: S Space, R Right, L Left.
void TestPlayerSeek::pauseSeekAndResumeInAnyOrder_data() {
    QTest::addColumn<bool>("stream");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("lowest");  // where it plays on from, ms
    QTest::addColumn<int>("highest"); // with slack for the time before the first key
    QTest::newRow("pause, right, resume") << true << QStringLiteral("SRS") << 11500 << 15000;
    QTest::newRow("pause, right, right, resume")
        << true << QStringLiteral("SRRS") << 21500 << 25000;
    QTest::newRow("right, pause, left, resume") << true << QStringLiteral("RSLS") << 1500 << 6000;
    QTest::newRow("pause, resume, right") << true << QStringLiteral("SSR") << 11500 << 15000;
    QTest::newRow("right, pause, resume") << true << QStringLiteral("RSS") << 11500 << 15000;
    QTest::newRow("right, pause twice, resume")
        << true << QStringLiteral("RSSSS") << 11500 << 15000;
    QTest::newRow("pause, right, pause again") << true << QStringLiteral("SRSS") << 11500 << 15000;
    QTest::newRow("file: right, pause, left, resume")
        << false << QStringLiteral("RSLS") << 1500 << 6000;
}

void TestPlayerSeek::pauseSeekAndResumeInAnyOrder() {
    QFETCH(bool, stream);
    QFETCH(QString, keys);
    QFETCH(int, lowest);
    QFETCH(int, highest);
    OneClipStation station("demo-long.wmv"); // 40 s
    QVERIFY(station.station->started());
    MediaPlayer player(kSilent);
    showPlayer(player);
    const TimeLabelWatch watch(player);
    player.setURL(stream ? station.url() : QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= 1500, 10000);
    bool pausedNow = false;
    for (const QChar k : keys) {
        if (k == u'S') {
            key(player, Qt::Key_Space);
            pausedNow = !pausedNow;
            // Each press is answered, whatever the seek before it left behind.
            QTRY_COMPARE_WITH_TIMEOUT(player.status(), pausedNow ? Status::Paused : Status::Playing,
                                      10000);
        } else {
            key(player, k == u'R' ? Qt::Key_Right : Qt::Key_Left);
            if (pausedNow)
                QCOMPARE(player.status(), Status::Paused);
        }
    }
    // From the last key on, the bar never shows where the player was before that key's seek:
    // libVLC goes on reporting the old time for a moment after it is told to seek.
    QList<qint64> shown;
    connect(&player, &MediaPlayer::timesChanged, this, [&](qint64 time) { shown << time; });
    if (pausedNow) {
        key(player, Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    }
    // It plays on from where it was sent, and really plays.
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= lowest, 10000);
    const qint64 from = player.time();
    QVERIFY2(from <= highest, qPrintable(QString::number(from)));
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= from + 1000, 10000);
    QCOMPARE(player.status(), Status::Playing);
    for (const qint64 time : shown)
        QVERIFY2(time >= lowest - 2000 && time <= highest + 2000,
                 qPrintable(QString::number(time)));
    QVERIFY2(watch.odd().isEmpty(), qPrintable(watch.odd().join(u'|')));
}

// Paused the moment the stream starts filling its buffer, it is paused, and plays when resumed.
void TestPlayerSeek::pauseWhileTheStreamFirstBuffers() {
    OneClipStation station("demo-long.wmv");
    QVERIFY(station.station->started());
    MediaPlayer player(kSilent);
    showPlayer(player);
    QList<Status> seen;
    connect(&player, &MediaPlayer::statusChanged, this, [&](Status status) {
        if (status == Status::Buffering && !seen.contains(Status::Buffering))
            key(player, Qt::Key_Space);
        seen << status;
    });
    player.setURL(station.url());
    QTRY_VERIFY_WITH_TIMEOUT(seen.contains(Status::Buffering), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Paused, 10000);
    key(player, Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    const qint64 from = player.time();
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= from + 1000, 10000);
    QCOMPARE(player.status(), Status::Playing);
}

void TestPlayerSeek::seekBeforeTheStartStopsAtTheStart() {
    MediaPlayer player(kSilent);
    showPlayer(player);
    player.setURL(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= 2000, 10000);
    key(player, Qt::Key_Left);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() < 1500, 5000);
    QCOMPARE(timeText(player).left(5), QStringLiteral("00:00"));
    QCOMPARE(player.status(), Status::Playing);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= 1000, 10000);
}

// Until the length is known the bar says so, and a seek has nothing to go by: it is left alone.
void TestPlayerSeek::seekBeforeTheLengthIsKnown() {
    {
        QTcpServer silent; // takes the connection, says nothing
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        MediaPlayer player(kSilent);
        showPlayer(player);
        player.setURL(QStringLiteral("http://127.0.0.1:%1/a.wmv").arg(silent.serverPort()));
        QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 5000);
        QCOMPARE(timeText(player), QStringLiteral("00:00 / --:--"));
        for (Qt::Key k : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left})
            key(player, k);
        QCOMPARE(timeText(player), QStringLiteral("00:00 / --:--"));
        QCOMPARE(player.time(), 0);
        QCOMPARE(player.status(), Status::Connecting);
    }
    OneClipStation station("demo-long.wmv");
    QVERIFY(station.station->started());
    MediaPlayer player(kSilent);
    showPlayer(player);
    player.setURL(station.url());
    QCOMPARE(timeText(player), QStringLiteral("00:00 / --:--"));
    key(player, Qt::Key_Right);
    key(player, Qt::Key_Right);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= 1000, 10000);
    QVERIFY2(player.time() < 5000, qPrintable(QString::number(player.time())));
    QCOMPARE(timeText(player).right(5), QStringLiteral("00:40"));
}

QTEST_MAIN(TestPlayerSeek)
#include "tst_player_seek.moc"
