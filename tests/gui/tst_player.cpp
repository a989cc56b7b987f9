#include "CannedServer.h"
#include "Processes.h"
#include "catalogue/TvStation.h"
#include "playback/MediaPlayer.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace std::chrono_literals;
using Status = MediaPlayer::Status;

namespace {

// Tests and headless machines play into libVLC's silent output.
const EngineOptions kSilent{.audioOutput = "adummy"};

// The bounding box of everything that is not black.
QRect litArea(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) > 60)
                box |= QRect(x, y, 1, 1);
    return box;
}

bool seen(const QSignalSpy& spy, Status status) {
    for (const QList<QVariant>& arguments : spy)
        if (arguments.at(0).value<Status>() == status)
            return true;
    return false;
}

} // namespace

class TestPlayer : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void playsFileAndPaintsFramesToFit();
    void playsEveryOfferedType_data();
    void playsEveryOfferedType();
    void endOfMediaStopsAndSpaceReplays();
    void emptyLocationStopsAndClears();
    void newLocationReplacesOld();
    void unplayableEndsInCannotPlay_data();
    void unplayableEndsInCannotPlay();
    void streamsFromTheStation_data();
    void streamsFromTheStation();
    void stalledServerEndsInCannotPlay_data();
    void stalledServerEndsInCannotPlay();
    void keysPauseSeekAndSetVolume();
    void fullScreenTogglesWithKeysAndDoubleClick();
    void contextMenuOffersTheActions();
    void transportBarDrivesThePlayer();
    void destroyedWhileBusy();

  private:
    QString media(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    void startPlaying(MediaPlayer& player, const QString& location);

    QTemporaryDir dir_;
    std::unique_ptr<StationProcess> station_;
};

void TestPlayer::initTestCase() {
    QVERIFY(dir_.isValid());

    // A 176x100 picture, yellow with a white band in its last 20 rows. Its height is no multiple
    // of 16, so libVLC hands it over stretched to the decoder's padded 128 rows.
    const QStringList video = QStringLiteral("-map 0:v -map 1:a").split(u' ');
    const QStringList audio = QStringLiteral("-map 1:a").split(u' ');
    const QStringList threeSeconds = QStringLiteral("-t 3").split(u' ');
    QStringList args = QStringLiteral("-v error -y -f lavfi -i "
                                      "color=c=yellow:size=176x100:rate=25,"
                                      "drawbox=y=80:h=20:color=white:t=fill "
                                      "-f lavfi -i sine=frequency=440:sample_rate=22050")
                           .split(u' ');
    auto output = [&](const QStringList& streams, const QStringList& length, const char* codecs,
                      const char* name) {
        args << streams << length << QString::fromLatin1(codecs).split(u' ', Qt::SkipEmptyParts)
             << media(name);
    };
    output(video, {QStringLiteral("-t"), QStringLiteral("30")}, "-c:v wmv2 -c:a wmav2", "long.wmv");
    output(video, threeSeconds, "-c:v wmv2 -c:a wmav2", "video.wmv");
    output(video, threeSeconds, "-c:v mpeg4 -c:a pcm_s16le", "video.avi");
    output(video, threeSeconds, "-c:v mpeg1video -c:a mp2 -f mpeg", "video.mpeg");
    output(audio, threeSeconds, "-c:a libmp3lame", "audio.mp3");
    output(audio, threeSeconds, "", "audio.wav");
    output(audio, threeSeconds, "", "audio.aiff");
    output(audio, threeSeconds, "", "audio.au");
    output(audio, threeSeconds, "-c:a wmav2 -f asf", "audio.wma");

    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    QVERIFY2(ffmpeg.waitForFinished(60000), "ffmpeg did not finish");
    QVERIFY2(ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0,
             ffmpeg.readAllStandardError().constData());

    QFile text(media("notes.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a media file\n");

    // The station streams whichever of its demo clips a title maps to; all of them are ours.
    QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("clips")));
    for (const char* clip :
         {"demo-testsrc", "demo-smptebars", "demo-mandelbrot", "demo-colours", "demo-long"})
        QVERIFY(QFile::copy(media("video.wmv"),
                            media("clips/") + QLatin1String(clip) + QStringLiteral(".wmv")));
    station_ =
        std::make_unique<StationProcess>(QStringList{QStringLiteral("--media"), media("clips")});
    QVERIFY(station_->started());
}

void TestPlayer::startPlaying(MediaPlayer& player, const QString& location) {
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    player.setURL(location);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
}

void TestPlayer::playsFileAndPaintsFramesToFit() {
    MediaPlayer player(kSilent);
    QSignalSpy frames(&player, &MediaPlayer::framePainted);
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    QCOMPARE(player.status(), Status::Idle);

    player.setURL(media("long.wmv"));
    QCOMPARE(player.URL(), media("long.wmv"));
    QCOMPARE(player.status(), Status::Connecting);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QCOMPARE(player.statusText(), QStringLiteral("正在播放"));
    QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() >= 5, 10000);
    QVERIFY(frames.count() >= 1);
    QVERIFY(player.paintedFrames() >= frames.count());
    QCOMPARE(player.findChild<QLabel*>(QStringLiteral("statusLabel"))->text(),
             QStringLiteral("正在播放"));
    QTRY_VERIFY(player.findChild<QLabel*>(QStringLiteral("timeLabel"))
                    ->text()
                    .endsWith(QStringLiteral("/ 00:30")));

    // 176x100 keeps its 1.76 aspect, fills the width, centred between black bars, the whole
    // picture shown: the band is its last fifth.
    auto* view = player.findChild<QWidget*>(QStringLiteral("videoView"));
    QVERIFY(view);
    const QImage shot = view->grab().toImage();
    const QRect lit = litArea(shot);
    QVERIFY(!lit.isEmpty());
    QVERIFY2(qAbs(double(lit.width()) / lit.height() - 1.76) < 0.04,
             qPrintable(QStringLiteral("%1x%2").arg(lit.width()).arg(lit.height())));
    QVERIFY(lit.width() >= shot.width() - 2);
    QVERIFY(qAbs(lit.center().y() - shot.rect().center().y()) <= 2);
    int bandRows = 0;
    for (int y = lit.top(); y <= lit.bottom(); ++y)
        bandRows += shot.pixelColor(lit.center().x(), y).blue() > 150 ? 1 : 0;
    QVERIFY2(qAbs(double(bandRows) / lit.height() - 0.2) < 0.03,
             qPrintable(QString::number(bandRows)));
    const QColor centre = shot.pixelColor(shot.rect().center());
    QVERIFY(centre.red() > 180 && centre.green() > 180 && centre.blue() < 90);
}

void TestPlayer::playsEveryOfferedType_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("hasVideo");
    for (const char* name : {"audio.mp3", "audio.wav", "audio.aiff", "audio.au", "audio.wma"})
        QTest::newRow(name) << media(name) << false;
    for (const char* name : {"video.avi", "video.mpeg", "video.wmv"})
        QTest::newRow(name) << media(name) << true;
}

void TestPlayer::playsEveryOfferedType() {
    QFETCH(QString, file);
    QFETCH(bool, hasVideo);
    MediaPlayer player(kSilent);
    QSignalSpy statuses(&player, &MediaPlayer::statusChanged);
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    player.setURL(file);
    QTRY_VERIFY_WITH_TIMEOUT(seen(statuses, Status::Playing), 10000);
    QVERIFY(!seen(statuses, Status::CannotPlay));
    if (hasVideo)
        QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() > 0, 10000);
}

void TestPlayer::endOfMediaStopsAndSpaceReplays() {
    MediaPlayer player(kSilent);
    QSignalSpy statuses(&player, &MediaPlayer::statusChanged);
    player.setURL(media("audio.wav"));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Stopped, 10000);
    QVERIFY(seen(statuses, Status::Playing));
    QCOMPARE(player.statusText(), QStringLiteral("已停止"));

    statuses.clear();
    QTest::keyClick(&player, Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(seen(statuses, Status::Playing), 10000);
    QVERIFY(!seen(statuses, Status::CannotPlay));
}

void TestPlayer::emptyLocationStopsAndClears() {
    MediaPlayer player(kSilent);
    startPlaying(player, media("long.wmv"));
    QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() > 0, 10000);

    player.setURL(QString());
    QCOMPARE(player.status(), Status::Idle);
    QCOMPARE(player.URL(), QString());
    auto* view = player.findChild<QWidget*>(QStringLiteral("videoView"));
    QVERIFY(litArea(view->grab().toImage()).isEmpty());

    // libVLC once crashed on the stop that followed an empty location.
    auto* stop = player.findChild<QToolButton*>(QStringLiteral("stopButton"));
    auto* playPause = player.findChild<QToolButton*>(QStringLiteral("playPauseButton"));
    for (int i = 0; i < 5; ++i) {
        player.setURL(QString());
        stop->click();
        playPause->click();
        QTest::keyClick(&player, Qt::Key_Space);
        stop->click();
    }
    QCOMPARE(player.status(), Status::Idle);
    QCOMPARE(player.statusText(), QStringLiteral("就绪"));

    player.setURL(media("video.avi"));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    player.setURL(QString());
    QCOMPARE(player.status(), Status::Idle);
}

void TestPlayer::newLocationReplacesOld() {
    MediaPlayer player(kSilent);
    startPlaying(player, media("long.wmv"));
    QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() > 0, 10000);

    QSignalSpy statuses(&player, &MediaPlayer::statusChanged);
    player.setURL(media("audio.mp3"));
    QCOMPARE(player.URL(), media("audio.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QVERIFY(!seen(statuses, Status::Stopped));
    // The old picture does not linger over the new sound.
    auto* view = player.findChild<QWidget*>(QStringLiteral("videoView"));
    QVERIFY(litArea(view->grab().toImage()).isEmpty());

    // Writes in quick succession: only the last one plays; the failure of an earlier one
    // never surfaces.
    statuses.clear();
    player.setURL(media("missing.avi"));
    player.setURL(QStringLiteral("velmoraxyz://nowhere/a.wmv"));
    player.setURL(media("video.wmv"));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    const qint64 before = player.paintedFrames();
    QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() > before, 10000);
    QVERIFY(!seen(statuses, Status::CannotPlay));
    QCOMPARE(player.URL(), media("video.wmv"));
}

// Each says why, so the user knows what to do about it.
void TestPlayer::unplayableEndsInCannotPlay_data() {
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing file") << media("missing.avi") << QStringLiteral("找不到文件");
    QTest::newRow("missing file:// address")
        << QStringLiteral("file://") + media("missing.avi") << QStringLiteral("找不到文件");
    QTest::newRow("unknown scheme")
        << QStringLiteral("velmoraxyz://host/a.wmv") << QStringLiteral("不支持此地址");
    QTest::newRow("only spaces") << QStringLiteral("   ") << QStringLiteral("找不到文件");
    QTest::newRow("not media") << media("notes.txt") << QStringLiteral("无法播放此格式");
}

void TestPlayer::unplayableEndsInCannotPlay() {
    QFETCH(QString, location);
    QFETCH(QString, text);
    MediaPlayer player(kSilent);
    player.resize(574, 440);
    player.show();
    player.setURL(location);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::CannotPlay, 10000);
    QCOMPARE(player.statusText(), text);
    QCOMPARE(player.findChild<QLabel*>(QStringLiteral("statusLabel"))->text(), text);
    QCOMPARE(player.URL(), location);
    QVERIFY(!QApplication::activeModalWidget());
}

// A programme's address as the catalogue makes it, over each way of reaching a Windows Media
// server; plain http:// to such a server is MMS over HTTP too.
void TestPlayer::streamsFromTheStation_data() {
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<Status>("outcome");
    const QByteArray title("\xD0\xC2\xCE\xC5 20%#1"); // 新闻 20%#1
    QTest::newRow("mms") << QStringLiteral("mms") << title << Status::Playing;
    QTest::newRow("mmsh") << QStringLiteral("mmsh") << title << Status::Playing;
    QTest::newRow("http") << QStringLiteral("http") << title << Status::Playing;
    QTest::newRow("mms, no such title")
        << QStringLiteral("mms") << QByteArray("missing 1") << Status::CannotPlay;
    QTest::newRow("http, no such title")
        << QStringLiteral("http") << QByteArray("missing 1") << Status::CannotPlay;
}

void TestPlayer::streamsFromTheStation() {
    QFETCH(QString, scheme);
    QFETCH(QByteArray, title);
    QFETCH(Status, outcome);
    MediaPlayer player(kSilent);
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    const QString url = TvStation(station_->address()).streamUrl(decodeGbk(title.toStdString()));
    player.setURL(scheme + url.mid(url.indexOf(u':')));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), outcome, 10000);
    if (outcome == Status::Playing)
        QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() > 0, 10000);
}

void TestPlayer::stalledServerEndsInCannotPlay_data() {
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Status>("waiting");
    QTest::newRow("http, silent") << QStringLiteral("http") << QByteArray() << Status::Connecting;
    QTest::newRow("mmsh, silent") << QStringLiteral("mmsh") << QByteArray() << Status::Connecting;
    QTest::newRow("mms, silent") << QStringLiteral("mms") << QByteArray() << Status::Connecting;
    QFile clip(media("long.wmv"));
    QVERIFY(clip.open(QIODevice::ReadOnly));
    const QByteArray start = clip.read(40000);
    QTest::newRow("http, stalls after the start")
        << QStringLiteral("http")
        << "HTTP/1.0 200 OK\r\nContent-Type: video/x-ms-wmv\r\nContent-Length: " +
               QByteArray::number(clip.size()) + "\r\n\r\n" + start
        << Status::Buffering;
}

void TestPlayer::stalledServerEndsInCannotPlay() {
    QFETCH(QString, scheme);
    QFETCH(QByteArray, reply);
    QFETCH(Status, waiting);
    CannedServer server(reply);
    MediaPlayer player(kSilent);
    player.setOpenTimeout(1500ms);
    player.setURL(QStringLiteral("%1://127.0.0.1:%2/sp/a.wmv").arg(scheme).arg(server.port()));
    QTRY_VERIFY_WITH_TIMEOUT(server.connections() > 0, 5000);
    QTRY_COMPARE(player.status(), waiting);
    QCOMPARE(player.statusText().left(4), waiting == Status::Connecting
                                              ? QStringLiteral("正在连接")
                                              : QStringLiteral("正在缓冲"));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::CannotPlay, 5000);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestPlayer::keysPauseSeekAndSetVolume() {
    MediaPlayer player(kSilent);
    QCOMPARE(player.focusPolicy(), Qt::StrongFocus);
    auto* volume = player.findChild<QSlider*>(QStringLiteral("volumeSlider"));
    QCOMPARE(player.volume(), 50);
    QCOMPARE(volume->value(), 50);
    QTest::keyClick(&player, Qt::Key_Up);
    QCOMPARE(player.volume(), 55);
    QCOMPARE(volume->value(), 55);
    QTest::keyClick(&player, Qt::Key_Down);
    QTest::keyClick(&player, Qt::Key_Down);
    QCOMPARE(player.volume(), 45);
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(&player, Qt::Key_Up);
    QCOMPARE(player.volume(), 100);
    for (int i = 0; i < 21; ++i)
        QTest::keyClick(&player, Qt::Key_Down);
    QCOMPARE(player.volume(), 0);

    startPlaying(player, media("long.wmv"));
    QTest::keyClick(&player, Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Paused, 5000);
    QCOMPARE(player.statusText(), QStringLiteral("已暂停"));
    QTest::keyClick(&player, Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 5000);

    QTest::keyClick(&player, Qt::Key_Right);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= 9500 && player.time() < 20000, 5000);
    QTest::keyClick(&player, Qt::Key_Left);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() < 9000, 5000);

    // A click into the picture gives the player the keyboard (checked without relying on window
    // activation, which other tests on the same display may take away).
    auto* view = player.findChild<QWidget*>(QStringLiteral("videoView"));
    player.clearFocus();
    QVERIFY(player.focusWidget() != &player);
    QTest::mouseClick(view, Qt::LeftButton);
    QCOMPARE(player.focusWidget(), &player);
}

void TestPlayer::fullScreenTogglesWithKeysAndDoubleClick() {
    MediaPlayer player(kSilent);
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    auto* screen = player.findChild<QWidget*>(QStringLiteral("playerScreen"));
    auto* view = player.findChild<QWidget*>(QStringLiteral("videoView"));
    QVERIFY(screen && view);
    QCOMPARE(screen->geometry(), player.rect());

    QTest::keyClick(&player, Qt::Key_Escape); // nothing to leave
    QVERIFY(!player.fullScreen());

    QTest::keyClick(&player, Qt::Key_F);
    QVERIFY(player.fullScreen());
    QVERIFY(screen->isWindow());
    QTRY_VERIFY(screen->windowState() & Qt::WindowFullScreen);
    QCOMPARE(player.geometry().size(), QSize(574, 440));
    QTest::keyClick(screen, Qt::Key_Escape);
    QVERIFY(!player.fullScreen());
    QVERIFY(!screen->isWindow());
    QTRY_COMPARE(screen->geometry(), player.rect());
    QVERIFY(screen->isVisible());

    QTest::mouseDClick(view, Qt::LeftButton);
    QVERIFY(player.fullScreen());
    QTest::keyClick(screen, Qt::Key_F);
    QVERIFY(!player.fullScreen());

    player.findChild<QToolButton*>(QStringLiteral("fullScreenButton"))->click();
    QVERIFY(player.fullScreen());
    screen->close(); // the window manager's close leaves full screen, it destroys nothing
    QVERIFY(!player.fullScreen());
    QVERIFY(screen->isVisible());
}

void TestPlayer::contextMenuOffersTheActions() {
    MediaPlayer player(kSilent);
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    auto* view = player.findChild<QWidget*>(QStringLiteral("videoView"));

    auto openMenu = [&]() -> QMenu* {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                view->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(view, &event);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };
    auto action = [](QMenu* menu, const QString& text) -> QAction* {
        for (QAction* candidate : menu->actions())
            if (candidate->text().section(u'\t', 0, 0) == text)
                return candidate;
        return nullptr;
    };

    QMenu* menu = openMenu();
    QVERIFY(menu);
    QStringList texts;
    for (QAction* item : menu->actions())
        if (!item->isSeparator())
            texts << item->text().section(u'\t', 0, 0);
    QCOMPARE(
        texts,
        QStringList({QStringLiteral("播放"), QStringLiteral("停止"), QStringLiteral("快退 10 秒"),
                     QStringLiteral("快进 10 秒"), QStringLiteral("减速"), QStringLiteral("加速"),
                     QStringLiteral("增大音量"), QStringLiteral("减小音量"), QStringLiteral("静音"),
                     QStringLiteral("截图"), QStringLiteral("全屏")}));
    action(menu, QStringLiteral("增大音量"))->trigger();
    menu->close();
    QCOMPARE(player.volume(), 55);

    menu = openMenu();
    action(menu, QStringLiteral("静音"))->trigger();
    menu->close();
    QVERIFY(player.isMuted());
    QVERIFY(player.findChild<QToolButton*>(QStringLiteral("muteButton"))->isChecked());

    menu = openMenu();
    action(menu, QStringLiteral("全屏"))->trigger();
    menu->close();
    QVERIFY(player.fullScreen());
    menu = openMenu();
    QVERIFY(menu);
    action(menu, QStringLiteral("退出全屏"))->trigger();
    menu->close();
    QVERIFY(!player.fullScreen());
}

void TestPlayer::transportBarDrivesThePlayer() {
    MediaPlayer player(kSilent);
    startPlaying(player, media("long.wmv"));
    auto* playPause = player.findChild<QToolButton*>(QStringLiteral("playPauseButton"));
    auto* stop = player.findChild<QToolButton*>(QStringLiteral("stopButton"));
    auto* mute = player.findChild<QToolButton*>(QStringLiteral("muteButton"));
    auto* volume = player.findChild<QSlider*>(QStringLiteral("volumeSlider"));
    auto* seek = player.findChild<QSlider*>(QStringLiteral("seekSlider"));
    auto* view = player.findChild<QWidget*>(QStringLiteral("videoView"));

    QTRY_VERIFY_WITH_TIMEOUT(seek->isEnabled() && seek->maximum() >= 29000, 5000);
    seek->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QTRY_VERIFY_WITH_TIMEOUT(player.time() >= 9500, 5000);

    playPause->click();
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Paused, 5000);
    stop->click();
    QCOMPARE(player.status(), Status::Stopped);
    QCOMPARE(player.statusText(), QStringLiteral("已停止"));
    QCOMPARE(player.URL(), media("long.wmv"));
    QVERIFY(litArea(view->grab().toImage()).isEmpty());
    playPause->click();
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);

    mute->click();
    QVERIFY(player.isMuted());
    mute->click();
    QVERIFY(!player.isMuted());
    volume->setValue(30);
    QCOMPARE(player.volume(), 30);
}

void TestPlayer::destroyedWhileBusy() {
    {
        MediaPlayer player(kSilent);
        startPlaying(player, media("long.wmv"));
        QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() > 0, 10000);
    }
    {
        MediaPlayer player(kSilent);
        player.setURL(media("video.wmv")); // gone before libVLC reports anything
    }
    {
        CannedServer server;
        MediaPlayer player(kSilent);
        player.setURL(QStringLiteral("http://127.0.0.1:%1/a.wmv").arg(server.port()));
        QTRY_VERIFY_WITH_TIMEOUT(server.connections() > 0, 5000);
    }
    {
        MediaPlayer player(kSilent);
        startPlaying(player, media("long.wmv"));
        player.setFullScreen(true);
    }
}

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"
