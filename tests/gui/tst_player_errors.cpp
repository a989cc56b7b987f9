// Failures as the user reads them: each from its real cause, in the bar, with no dialog, and
// Enter or the play button trying the same address again.
#include "CannedServer.h"
#include "Processes.h"
#include "playback/MediaPlayer.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <memory>

using namespace std::chrono_literals;
using Status = MediaPlayer::Status;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};

// A loopback port nothing listens on.
quint16 refusedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

QByteArray garbage() {
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

QString barText(const MediaPlayer& player) {
    return player.findChild<QLabel*>(QStringLiteral("statusLabel"))->text();
}

} // namespace

class TestPlayerErrors : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void eachCauseHasItsText_data();
    void eachCauseHasItsText();
    void enterTriesTheSameAddressAgain();
    void playButtonTriesTheSameAddressAgain();

  private:
    QTemporaryDir clips_;
    std::unique_ptr<StationProcess> station_;
};

void TestPlayerErrors::initTestCase() {
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-colours.wmv"),
                        clips_.filePath(QStringLiteral("demo-colours.wmv"))));
    station_ =
        std::make_unique<StationProcess>(QStringList{QStringLiteral("--media"), clips_.path()});
    QVERIFY(station_->started());
}

void TestPlayerErrors::eachCauseHasItsText_data() {
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<PlayerError>("error");
    QTest::addColumn<QString>("text");
    const QString connect = QStringLiteral("无法连接到服务器，按 Enter 重试");
    const QString notFound = QStringLiteral("找不到该节目 (404)");
    const QString silent = QStringLiteral("服务器没有应答，按 Enter 重试");
    const QString format = QStringLiteral("无法播放此格式");
    for (const char* scheme : {"mms", "http"}) {
        const QString s = QLatin1String(scheme);
        QTest::addRow("%s, refused port", scheme)
            << s << QStringLiteral("refused") << PlayerError::CannotConnect << connect;
        QTest::addRow("%s, no such programme", scheme)
            << s << QStringLiteral("404") << PlayerError::NotFound << notFound;
        QTest::addRow("%s, silent server", scheme)
            << s << QStringLiteral("silent") << PlayerError::NoAnswer << silent;
        QTest::addRow("%s, garbage bytes", scheme)
            << s << QStringLiteral("garbage") << PlayerError::Format << format;
    }
    QTest::newRow("http, refused otherwise")
        << QStringLiteral("http") << QStringLiteral("503") << PlayerError::ServerError
        << QStringLiteral("服务器拒绝了请求 (503)，按 Enter 重试");
}

void TestPlayerErrors::eachCauseHasItsText() {
    QFETCH(QString, scheme);
    QFETCH(QString, cause);
    QFETCH(PlayerError, error);
    QFETCH(QString, text);
    std::unique_ptr<CannedServer> server;
    QString host;
    if (cause == QLatin1String("refused")) {
        host = QStringLiteral("127.0.0.1:%1").arg(refusedPort());
    } else if (cause == QLatin1String("404")) {
        host = station_->address();
    } else {
        QByteArray reply;
        if (cause == QLatin1String("garbage"))
            reply = "HTTP/1.0 200 OK\r\nContent-Type: video/x-ms-wmv\r\n\r\n" + garbage();
        else if (cause == QLatin1String("503"))
            reply = "HTTP/1.0 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n";
        server = std::make_unique<CannedServer>(reply, CannedServer::AfterReply::Close);
        host = QStringLiteral("127.0.0.1:%1").arg(server->port());
    }
    const QString title =
        cause == QLatin1String("404") ? QStringLiteral("missing 1") : QStringLiteral("a");
    MediaPlayer player(kSilent);
    // A silent server is heard out for a shorter while than a user would be.
    if (cause == QLatin1String("silent"))
        player.setOpenTimeout(1500ms);
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    const QString url = scheme + QStringLiteral("://") + host + QStringLiteral("/sp/") + title +
                        QStringLiteral(".wmv");
    player.setURL(url);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::CannotPlay, 25000);
    QCOMPARE(player.error(), error);
    QCOMPARE(player.statusText(), text);
    QCOMPARE(barText(player), text);
    QCOMPARE(player.URL(), url);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestPlayerErrors::enterTriesTheSameAddressAgain() {
    const quint16 port = refusedPort();
    const QString url = QStringLiteral("mms://127.0.0.1:%1/sp/a.wmv").arg(port);
    MediaPlayer player(kSilent);
    player.resize(574, 440);
    player.show();
    player.setURL(url);
    QTRY_COMPARE_WITH_TIMEOUT(player.error(), PlayerError::CannotConnect, 10000);
    // Still nothing there: the same text again.
    QTest::keyClick(&player, Qt::Key_Return);
    QCOMPARE(player.status(), Status::Connecting);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::CannotPlay, 10000);
    QCOMPARE(player.error(), PlayerError::CannotConnect);

    // The server is up now.
    StationProcess station({QStringLiteral("--port"), QString::number(port),
                            QStringLiteral("--media"), clips_.path()});
    QVERIFY(station.started());
    QTest::keyClick(&player, Qt::Key_Enter);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QCOMPARE(player.URL(), url);
    QVERIFY(station.waitForLog(QStringLiteral("play a"), 5000));
    // While it plays, Enter is not the player's.
    QTest::keyClick(&player, Qt::Key_Return);
    QCOMPARE(player.status(), Status::Playing);
}

void TestPlayerErrors::playButtonTriesTheSameAddressAgain() {
    const quint16 port = refusedPort();
    const QString url = QStringLiteral("http://127.0.0.1:%1/sp/a.wmv").arg(port);
    MediaPlayer player(kSilent);
    player.resize(574, 440);
    player.show();
    player.setURL(url);
    QTRY_COMPARE_WITH_TIMEOUT(player.error(), PlayerError::CannotConnect, 10000);
    StationProcess station({QStringLiteral("--port"), QString::number(port),
                            QStringLiteral("--media"), clips_.path()});
    QVERIFY(station.started());
    player.findChild<QToolButton*>(QStringLiteral("playPauseButton"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QCOMPARE(player.URL(), url);
    QCOMPARE(player.error(), PlayerError::None);
}

QTEST_MAIN(TestPlayerErrors)
#include "tst_player_errors.moc"
