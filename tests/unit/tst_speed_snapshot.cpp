// The player's speed keys and its snapshot, on real libVLC playing clips from disk: the speed is
// measured as media time over wall time, the snapshot as the pixels of a clip of one colour.
#include "playback/PlaybackController.h"
#include "playback/PlayerActions.h"
#include "playback/Snapshot.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};
const QString kLong = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"); // 40 s
const QString kSound = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.mp3");   // no picture
constexpr int kPlayerMs = 20000; // bounds a failure; libVLC answers in well under a second

void press(PlayerActions& actions, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QVERIFY(actions.handleKey(&event));
}

// How many ms of media pass per ms of wall time while `mediaMs` of it play. From one reported
// position to another, so that the 250 ms between reports do not count against it.
double measuredSpeed(PlaybackController& playback, qint64 mediaMs) {
    QSignalSpy moved(&playback, &PlaybackController::positionChanged);
    if (!moved.wait(kPlayerMs))
        return -1;
    QElapsedTimer wall;
    wall.start();
    const qint64 from = playback.position();
    while (playback.position() - from < mediaMs && wall.elapsed() < kPlayerMs)
        moved.wait(kPlayerMs - int(wall.elapsed()));
    return double(playback.position() - from) / double(wall.elapsed());
}

} // namespace

class TestSpeedSnapshot : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void speedKeysStepThroughTheSpeedsAndSaySo();
    void theSpeedIsHowFastItPlaysUntilTheNextOpening();
    void aSnapshotIsThePictureAtItsOwnSize();
    void withoutAPictureASnapshotSaysWhy();
    void fileNamesAreSafeAndSayWhen_data();
    void fileNamesAreSafeAndSayWhen();

  private:
    QTemporaryDir dir_;
    QString clip_;
    QString pictures_;
};

void TestSpeedSnapshot::initTestCase() {
    QVERIFY(dir_.isValid());
    // One colour, 176 x 100: a height that is no multiple of 16, so libVLC hands the picture over
    // stretched to the decoder's padded 128 rows.
    clip_ = dir_.filePath(u"colour.wmv"_s);
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s, QStringLiteral("-v error -y -f lavfi -i "
                                             "color=c=0x2080e0:size=176x100:rate=25:duration=30 "
                                             "-c:v wmv2 -b:v 400k")
                                      .split(u' ')
                                  << clip_);
    QVERIFY2(ffmpeg.waitForFinished(60000), "ffmpeg did not finish");
    QVERIFY2(ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0,
             ffmpeg.readAllStandardError().constData());

    // The pictures folder as xdg-user-dirs names it, not there yet.
    pictures_ = dir_.filePath(u"图片/快照"_s);
    QVERIFY(QDir(dir_.path()).mkdir(u"config"_s));
    QFile dirs(dir_.filePath(u"config/user-dirs.dirs"_s));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_PICTURES_DIR=\"" + pictures_.toUtf8() + "\"\n");
    dirs.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(u"config"_s)));
    QCOMPARE(snapshot::picturesFolder(), pictures_);
}

void TestSpeedSnapshot::speedKeysStepThroughTheSpeedsAndSaySo() {
    PlaybackController playback(kSilent);
    PlayerActions actions(playback);
    // Nothing open: the next opening would be at normal speed anyway.
    press(actions, Qt::Key_BracketRight);
    QCOMPARE(playback.rate(), 1.0);

    playback.open(kLong);
    QStringList said;
    for (int key :
         {Qt::Key_BracketRight, Qt::Key_BracketRight, Qt::Key_BracketRight, Qt::Key_BracketRight,
          Qt::Key_BracketLeft, Qt::Key_BracketLeft, Qt::Key_BracketLeft, Qt::Key_BracketLeft,
          Qt::Key_BracketLeft, Qt::Key_BracketLeft}) {
        press(actions, key);
        said << playback.statusText();
    }
    QCOMPARE(said, (QStringList{u"速度 1.25×"_s, u"速度 1.5×"_s, u"速度 2×"_s, u"速度 2×"_s,
                                u"速度 1.5×"_s, u"速度 1.25×"_s, u"速度 1×"_s, u"速度 0.75×"_s,
                                u"速度 0.5×"_s, u"速度 0.5×"_s}));
    // A speed set from elsewhere steps to its neighbours.
    playback.setRate(1.1);
    press(actions, Qt::Key_BracketRight);
    QCOMPARE(playback.rate(), 1.25);
    playback.setRate(1.1);
    press(actions, Qt::Key_BracketLeft);
    QCOMPARE(playback.rate(), 1.0);
}

void TestSpeedSnapshot::theSpeedIsHowFastItPlaysUntilTheNextOpening() {
    PlaybackController playback(kSilent);
    PlayerActions actions(playback);
    playback.open(kLong);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
    for (int step = 0; step < 3; ++step)
        press(actions, Qt::Key_BracketRight);
    QCOMPARE(playback.rate(), 2.0);
    const double fast = measuredSpeed(playback, 5000);
    qInfo("at 2x: %.2f ms of media per ms", fast);
    QVERIFY2(fast > 1.5 && fast < 2.6, qPrintable(QString::number(fast)));

    playback.open(kLong);
    QCOMPARE(playback.rate(), 1.0);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
    const double normal = measuredSpeed(playback, 3000);
    qInfo("reopened: %.2f ms of media per ms", normal);
    QVERIFY2(normal > 0.7 && normal < 1.3, qPrintable(QString::number(normal)));
}

void TestSpeedSnapshot::aSnapshotIsThePictureAtItsOwnSize() {
    PlaybackController playback(kSilent);
    PlayerActions actions(playback);
    QSignalSpy saved(&actions, &PlayerActions::snapshotSaved);
    QSignalSpy frames(&playback, &PlaybackController::frameArrived);
    playback.open(clip_, 12000, u"新闻/联播:0112"_s);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
    QTRY_VERIFY_WITH_TIMEOUT(!playback.currentFrame().image.isNull(), kPlayerMs);
    playback.pause();
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Paused, kPlayerMs);
    // A seek while paused holds the position where it goes, whatever libVLC's clock says.
    playback.seekTo(15'500);
    QCOMPARE(playback.position(), 15'500);

    press(actions, Qt::Key_S);
    press(actions, Qt::Key_S);
    QCOMPARE(saved.size(), 2);
    const QString name = u"新闻_联播_0112 00-00-15"_s;
    QCOMPARE(saved.at(0).at(0).toString(), pictures_ + u'/' + name + u".png"_s);
    QCOMPARE(saved.at(1).at(0).toString(), pictures_ + u'/' + name + u" (2).png"_s);
    QCOMPARE(playback.statusText(), u"截图已保存到 "_s + saved.at(1).at(0).toString());

    for (const QList<QVariant>& path : saved) {
        QImage image;
        QVERIFY(image.load(path.at(0).toString(), "PNG"));
        QCOMPARE(image.size(), QSize(176, 100));
        // 0x2080e0 through the encoder's YUV and back.
        for (const QPoint& point : {QPoint(0, 0), QPoint(88, 50), QPoint(175, 99)}) {
            const QColor colour = image.pixelColor(point);
            QVERIFY2(qAbs(colour.red() - 0x20) <= 24 && qAbs(colour.green() - 0x80) <= 24 &&
                         qAbs(colour.blue() - 0xe0) <= 24,
                     qPrintable(colour.name()));
        }
    }
}

void TestSpeedSnapshot::withoutAPictureASnapshotSaysWhy() {
    QTemporaryDir pictures;
    PlaybackController playback(kSilent);
    PlayerActions actions(playback);
    QSignalSpy saved(&actions, &PlayerActions::snapshotSaved);
    QVERIFY(actions.snapshot->isEnabled());
    press(actions, Qt::Key_S);
    QCOMPARE(playback.statusText(), u"没有正在播放的节目，无法截图"_s);

    playback.open(kSound);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
    press(actions, Qt::Key_S);
    QCOMPARE(playback.statusText(), u"当前没有画面，无法截图"_s);

    // A file where the folder should be.
    const QString blocked = pictures.filePath(u"file"_s);
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    playback.open(clip_);
    QTRY_VERIFY_WITH_TIMEOUT(!playback.currentFrame().image.isNull(), kPlayerMs);
    const snapshot::Result result = snapshot::save(playback, blocked + u"/sub"_s);
    QCOMPARE(result.path, QString());
    QCOMPARE(result.text, u"无法保存截图到 "_s + blocked + u"/sub"_s);
    QCOMPARE(saved.size(), 0);
}

void TestSpeedSnapshot::fileNamesAreSafeAndSayWhen_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<int>("copy");
    QTest::addColumn<QString>("name");
    QTest::newRow("a programme") << u"新闻联播0112"_s << qint64(754'999) << 1
                                 << u"新闻联播0112 00-12-34.png"_s;
    QTest::newRow("past an hour, a second copy")
        << u"药都论坛"_s << qint64(3'723'000) << 2 << u"药都论坛 01-02-03 (2).png"_s;
    QTest::newRow("separators, control characters, what other systems refuse")
        << u"a/b\\c:d*e?f\"g<h>i|j\nk\x7f"_s << qint64(0) << 1
        << u"a_b_c_d_e_f_g_h_i_j_k_ 00-00-00.png"_s;
    QTest::newRow("leading dots and spaces")
        << u" ../.hidden "_s << qint64(0) << 1 << u"_.hidden 00-00-00.png"_s;
    QTest::newRow("nothing left") << u" .. "_s << qint64(0) << 1 << u"截图 00-00-00.png"_s;
    QTest::newRow("a lone surrogate")
        << QString(QChar(0xd800)) + u"x"_s << qint64(0) << 1 << u"_x 00-00-00.png"_s;
    // 200 bytes of UTF-8: 66 characters of three bytes, then a pair of four is not cut.
    QTest::newRow("long") << QString(70, u'节') << qint64(0) << 1
                          << QString(66, u'节') + u" 00-00-00.png"_s;
    QTest::newRow("long, a pair past the limit")
        << QString(66, u'节') + u"😀"_s << qint64(0) << 1 << QString(66, u'节') + u" 00-00-00.png"_s;
    QTest::newRow("long, a pair within it") << QString(65, u'节') + u"😀😀"_s << qint64(0) << 1
                                            << QString(65, u'节') + u"😀 00-00-00.png"_s;
}

void TestSpeedSnapshot::fileNamesAreSafeAndSayWhen() {
    QFETCH(QString, title);
    QFETCH(qint64, ms);
    QFETCH(int, copy);
    QFETCH(QString, name);
    QCOMPARE(snapshot::fileName(title, ms, copy), name);
    QVERIFY(snapshot::fileName(title, ms, copy).toUtf8().size() <= 255);
}

QTEST_MAIN(TestSpeedSnapshot)
#include "tst_speed_snapshot.moc"
