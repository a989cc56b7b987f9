// The picture follows the view while the station's clips play: grown, shrunk, made tall or wide,
// resized in a storm and taken to full screen and back, the player keeps playing and each
// picture painted afterwards is whole, 4:3 as the clips are, centred, with black bars around it.
#include "playback/MediaPlayer.h"

#include <QScreen>
#include <QTest>

using Status = MediaPlayer::Status;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};

bool isBlack(QRgb pixel) {
    return qGray(pixel) <= 24;
}

// Where the picture is: the columns and rows that are not wholly black.
QRect pictureIn(const QImage& image) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!isBlack(image.pixel(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

class TestVideoResize : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void pictureFitsEverySize_data();
    void pictureFitsEverySize();
    void resizeStormKeepsPlaying();
    void fullScreenAndBack();

  private:
    void play(const char* clip);
    // Waits for two pictures painted after the size changed, then checks the last one.
    void checkPicture();

    std::unique_ptr<MediaPlayer> player_;
    QWidget* video_ = nullptr;
};

void TestVideoResize::init() {
    player_ = std::make_unique<MediaPlayer>(kSilent);
    player_->resize(574, 440);
    player_->show();
    QVERIFY(QTest::qWaitForWindowExposed(player_.get()));
    video_ = player_->findChild<QWidget*>(QStringLiteral("videoView"));
    QVERIFY(video_);
}

void TestVideoResize::cleanup() {
    player_.reset();
}

void TestVideoResize::play(const char* clip) {
    player_->setURL(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/") + QLatin1String(clip));
    QTRY_COMPARE_WITH_TIMEOUT(player_->status(), Status::Playing, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player_->paintedFrames() > 2, 10000);
}

void TestVideoResize::checkPicture() {
    const qint64 before = player_->paintedFrames();
    QTRY_VERIFY_WITH_TIMEOUT(player_->paintedFrames() >= before + 2, 10000);
    QCOMPARE(player_->status(), Status::Playing);
    // What the view paints when asked, and what its window shows: the window's own paint goes
    // straight into its image, a grab through the painter.
    const QPoint at = video_->mapTo(video_->window(), QPoint(0, 0));
    const QImage shots[] = {video_->grab().toImage(),
                            video_->screen()
                                ->grabWindow(video_->window()->winId(), at.x(), at.y(),
                                             video_->width(), video_->height())
                                .toImage()};
    for (const QImage& shot : shots) {
        const QRect picture = pictureIn(shot);
        const QString seen = QStringLiteral("%1x%2 at %3,%4 in %5x%6")
                                 .arg(picture.width())
                                 .arg(picture.height())
                                 .arg(picture.x())
                                 .arg(picture.y())
                                 .arg(shot.width())
                                 .arg(shot.height());
        QVERIFY2(!picture.isEmpty(), qPrintable(seen));
        // Fills one side, 4:3, centred on the other.
        const bool fillsWidth = picture.width() >= shot.width() - 2;
        const bool fillsHeight = picture.height() >= shot.height() - 2;
        QVERIFY2(fillsWidth || fillsHeight, qPrintable(seen));
        QVERIFY2(qAbs(double(picture.width()) / picture.height() - 4.0 / 3) < 0.04,
                 qPrintable(seen));
        QVERIFY2(qAbs(picture.center().x() - shot.rect().center().x()) <= 2, qPrintable(seen));
        QVERIFY2(qAbs(picture.center().y() - shot.rect().center().y()) <= 2, qPrintable(seen));
    }
}

void TestVideoResize::pictureFitsEverySize_data() {
    QTest::addColumn<QByteArray>("clip");
    // 640 x 480 and 320 x 240: scaled down and up.
    for (const char* clip : {"demo-long.wmv", "demo-testsrc.wmv"})
        QTest::newRow(clip) << QByteArray(clip);
}

void TestVideoResize::pictureFitsEverySize() {
    QFETCH(QByteArray, clip);
    play(clip.constData());
    for (const QSize size :
         {QSize(900, 700), QSize(380, 640), QSize(1000, 300), QSize(420, 260), QSize(574, 440)}) {
        player_->resize(size);
        QTRY_COMPARE(player_->size(), size);
        checkPicture();
        if (QTest::currentTestFailed())
            return;
    }
}

// Sizes change far faster than pictures come: each paint takes whatever picture is newest.
void TestVideoResize::resizeStormKeepsPlaying() {
    play("demo-long.wmv");
    for (int i = 0; i < 120; ++i) {
        player_->resize(380 + (i * 37) % 700, 200 + (i * 53) % 500);
        // Paints what is pending before the next size.
        QCoreApplication::processEvents();
        video_->repaint();
    }
    player_->resize(640, 520);
    QTRY_COMPARE(player_->size(), QSize(640, 520));
    checkPicture();
}

void TestVideoResize::fullScreenAndBack() {
    play("demo-long.wmv");
    player_->setFullScreen(true);
    QTRY_COMPARE(video_->window()->size(), player_->screen()->geometry().size());
    checkPicture();
    if (QTest::currentTestFailed())
        return;
    player_->setFullScreen(false);
    QTRY_COMPARE(video_->window(), player_.get());
    checkPicture();
}

QTEST_MAIN(TestVideoResize)
#include "tst_video_resize.moc"
