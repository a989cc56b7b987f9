// A stream that breaks off while playing is opened again by itself: after 1, 2 and 4 s, where it
// broke off, and given up on after three tries; a new choice or address ends the waiting.
#include "HostedWindow.h"
#include "ManualTimers.h"
#include "playback/MediaPlayer.h"
#include "ui/MainWindow.h"

#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>

using namespace std::chrono_literals;
using Status = MediaPlayer::Status;

namespace {

const QString kWait = QStringLiteral("reconnectWait");

// A station that streams the 40 s clip for every title, its streams breaking off as `fault` says.
struct LongClipStation {
    explicit LongClipStation(const QString& fault) {
        QFile::copy(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"),
                    dir.filePath(QStringLiteral("demo-long.wmv")));
        station = std::make_unique<StationProcess>(arguments(fault));
    }
    QStringList arguments(const QString& fault) const {
        return {QStringLiteral("--media"), dir.path(), QStringLiteral("--stream-fault"), fault};
    }
    QString url() const {
        return QStringLiteral("mms://") + station->address() + QStringLiteral("/sp/a.wmv");
    }
    QTemporaryDir dir;
    std::unique_ptr<StationProcess> station;
};

// The seconds the bar's time shows.
int shownSeconds(const MediaPlayer& player) {
    const QString text = player.findChild<QLabel*>(QStringLiteral("timeLabel"))->text();
    return text.left(2).toInt() * 60 + text.mid(3, 2).toInt();
}

int count(const QStringList& lines, const QString& line) {
    return int(std::count(lines.begin(), lines.end(), line));
}

} // namespace

class TestPlayerReconnect : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void resumesNearWhereItBrokeOff();
    void givesUpAfterThreeAttempts();
    void aStreamThatStallsCountsAsBrokenOff();
    void aNewChoiceOrAddressEndsTheWait();

  private:
    void playUntilItBreaksOff(MediaPlayer& player, const QString& url);
};

void TestPlayerReconnect::playUntilItBreaksOff(MediaPlayer& player, const QString& url) {
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    player.setURL(url);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Reconnecting, 20000);
}

void TestPlayerReconnect::resumesNearWhereItBrokeOff() {
    LongClipStation station(QStringLiteral("drop=400")); // about 7 s of the clip per stream
    QVERIFY(station.station->started());
    ManualTimers timers;
    EngineOptions options{.audioOutput = "adummy"};
    options.timers = timers.factory();
    MediaPlayer player(options);
    playUntilItBreaksOff(player, station.url());
    QCOMPARE(player.statusText(), QStringLiteral("正在重新连接 (1/3)"));
    QVERIFY(station.station->waitForLog(QStringLiteral("stream dropped after 400 packets"), 0));
    const int brokeOffAt = shownSeconds(player);
    QVERIFY2(brokeOffAt >= 3 && brokeOffAt <= 8, qPrintable(QString::number(brokeOffAt)));
    ManualTimer* wait = timers.find(kWait);
    QVERIFY(wait && wait->isActive());
    QCOMPARE(wait->starts(), QList<qint64>{1000});

    QVERIFY(wait->fire());
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    // It asked the station for the stream from there on, and plays on from there.
    const std::optional<QString> from =
        station.station->waitForLog(QStringLiteral("play from packet "), 10000);
    QVERIFY(from);
    const int packet = from->mid(17).toInt();
    QVERIFY2(packet >= 150 && packet < 400, qPrintable(*from));
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= brokeOffAt * 1000 + 500, 10000);
    QVERIFY2(player.time() < (brokeOffAt + 4) * 1000, qPrintable(QString::number(player.time())));
}

void TestPlayerReconnect::givesUpAfterThreeAttempts() {
    LongClipStation station(QStringLiteral("drop=400"));
    QVERIFY(station.station->started());
    ManualTimers timers;
    EngineOptions options{.audioOutput = "adummy"};
    options.timers = timers.factory();
    MediaPlayer player(options);
    QStringList seen;
    connect(&player, &MediaPlayer::statusChanged, this, [&] { seen << player.statusText(); });
    playUntilItBreaksOff(player, station.url());
    station.station.reset(); // the server is gone
    seen.clear();
    ManualTimer* wait = timers.find(kWait);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        QTRY_VERIFY_WITH_TIMEOUT(wait->isActive(), 15000);
        QCOMPARE(player.statusText(), QStringLiteral("正在重新连接 (%1/3)").arg(attempt));
        QVERIFY(wait->fire());
    }
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::CannotPlay, 15000);
    QCOMPARE(player.error(), PlayerError::BrokeOff);
    QCOMPARE(player.statusText(), QStringLiteral("连接已中断，按 Enter 重试"));
    QCOMPARE(wait->starts(), (QList<qint64>{1000, 2000, 4000}));
    QVERIFY(!wait->isActive());
    // Each attempt shows while it tries, and nothing else comes between them.
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    QCOMPARE(seen, (QStringList{QStringLiteral("正在重新连接 (1/3)"),
                                QStringLiteral("正在重新连接 (2/3)"),
                                QStringLiteral("正在重新连接 (3/3)"),
                                QStringLiteral("连接已中断，按 Enter 重试")}));
}

// No data for the stall time while playing: broken off as surely as a reset.
void TestPlayerReconnect::aStreamThatStallsCountsAsBrokenOff() {
    LongClipStation station(QStringLiteral("stall=400"));
    QVERIFY(station.station->started());
    ManualTimers timers;
    EngineOptions options{.audioOutput = "adummy"};
    options.timers = timers.factory();
    options.stallTimeout = 1500ms;
    MediaPlayer player(options);
    playUntilItBreaksOff(player, station.url());
    QVERIFY(station.station->waitForLog(QStringLiteral("stream stalled after 400 packets"), 0));
    QCOMPARE(player.statusText(), QStringLiteral("正在重新连接 (1/3)"));
    QVERIFY(timers.find(kWait)->fire());
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    // A paused stream is not a stalled one.
    QTest::keyClick(&player, Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Paused, 5000);
    QTest::qWait(2500);
    QCOMPARE(player.status(), Status::Paused);
}

void TestPlayerReconnect::aNewChoiceOrAddressEndsTheWait() {
    ManualTimers timers;
    QTemporaryDir clips;
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"),
                        clips.filePath(QStringLiteral("demo-long.wmv"))));
    HostedWindow hosted({QStringLiteral("--media"), clips.path(), QStringLiteral("--stream-fault"),
                         QStringLiteral("drop=400")},
                        [&](Config& config) { config.engine.timers = timers.factory(); });
    QVERIFY(hosted.ready());
    MediaPlayer& player = hosted.player();
    QSignalSpy played(&hosted.window(), &MainWindow::programmePlayed);
    QSignalSpy selected(&hosted.window(), &MainWindow::programmeSelected);

    hosted.choose(0);
    for (int i = 0; i < 5; ++i)
        hosted.tick();
    QCOMPARE(played.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Reconnecting, 20000);
    ManualTimer* wait = timers.find(kWait);
    QVERIFY(wait->isActive());
    const QString first = selected.at(0).at(0).toString();

    // A new choice: the wait is over before the advertisement even shows.
    hosted.choose(1);
    QVERIFY(!wait->isActive());
    QVERIFY(!wait->fire());
    QCOMPARE(player.status(), Status::Idle);
    for (int i = 0; i < 5; ++i)
        hosted.tick();
    QCOMPARE(played.count(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    const QStringList log = hosted.station().log();
    QCOMPARE(count(log, QStringLiteral("play ") + first), 1);

    // An address written while it waits ends the wait as well.
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Reconnecting, 20000);
    QVERIFY(wait->isActive());
    player.setURL(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.wav"));
    QVERIFY(!wait->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QVERIFY(!wait->fire());
}

int main(int argc, char* argv[]) {
    TestPlayerReconnect test;
    return runHostedTest(test, argc, argv);
}

#include "tst_player_reconnect.moc"
