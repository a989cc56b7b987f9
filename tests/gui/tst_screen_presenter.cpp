// On X11 the video thread puts each picture on the screen itself: the screen changes while the
// view paints nothing, nothing is drawn over a widget that covers the picture (a sibling of the
// view or of one of its ancestors), and what it uncovers shows the picture again.
#include "playback/MediaPlayer.h"
#include "playback/ScreenPresenter.h"
#include "playback/VideoView.h"

#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using Status = MediaPlayer::Status;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};

class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// Every pixel of `image` is the colour given, within a step of rounding.
bool allOf(const QImage& image, QColor colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor seen = image.pixelColor(x, y);
            if (qAbs(seen.red() - colour.red()) > 2 || qAbs(seen.green() - colour.green()) > 2 ||
                qAbs(seen.blue() - colour.blue()) > 2)
                return false;
        }
    return true;
}

} // namespace

class TestScreenPresenter : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void picturesReachTheScreenWithoutPainting();
    void nothingIsDrawnOverWhatCoversThePicture_data();
    void nothingIsDrawnOverWhatCoversThePicture();
    void theToolkitPaintsWhenAskedTo();
    void onlyOnTheApplicationsOwnDisplay();

  private:
    void play(MediaPlayer& player);
    void waitForFrames(int count);
    QImage onScreen(const QRect& inView) const;

    std::unique_ptr<MediaPlayer> player_;
    VideoView* video_ = nullptr;
};

void TestScreenPresenter::init() {
    player_ = std::make_unique<MediaPlayer>(kSilent);
    video_ = player_->findChild<VideoView*>(QStringLiteral("videoView"));
    QVERIFY(video_);
    play(*player_);
}

void TestScreenPresenter::cleanup() {
    player_.reset();
}

void TestScreenPresenter::play(MediaPlayer& player) {
    player.resize(574, 440);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    player.setURL(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"));
    QTRY_COMPARE_WITH_TIMEOUT(player.status(), Status::Playing, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() > 2, 10000);
}

void TestScreenPresenter::waitForFrames(int count) {
    const qint64 until = player_->paintedFrames() + count;
    QTRY_VERIFY_WITH_TIMEOUT(player_->paintedFrames() >= until, 10000);
}

// What the X server shows there, whoever drew it.
QImage TestScreenPresenter::onScreen(const QRect& inView) const {
    const QPoint at = video_->mapToGlobal(inView.topLeft());
    return video_->screen()
        ->grabWindow(0, at.x(), at.y(), inView.width(), inView.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

void TestScreenPresenter::picturesReachTheScreenWithoutPainting() {
    QVERIFY(video_->presentsDirectly());
    PaintCounter counter(video_);
    QSignalSpy told(player_.get(), &MediaPlayer::framePainted);
    // The clip's clock in its top left corner moves with every picture.
    const QRect clock(0, 0, video_->width(), video_->height() / 4);
    const QImage before = onScreen(clock);
    waitForFrames(25);
    const QImage after = onScreen(clock);
    // A picture of a new size or aspect is painted; the 25 after it are not.
    QVERIFY2(counter.paints <= 2, qPrintable(QString::number(counter.paints)));
    // Nor is the window's thread woken for them: only a painted picture is told.
    QVERIFY2(told.count() <= counter.paints, qPrintable(QString::number(told.count())));
    QVERIFY(before != after);
    QVERIFY(!allOf(after, Qt::black));
}

void TestScreenPresenter::nothingIsDrawnOverWhatCoversThePicture_data() {
    QTest::addColumn<QString>("parent");
    QTest::newRow("beside the picture") << QStringLiteral("playerScreen");
    QTest::newRow("beside the player's screen") << QString();
}

void TestScreenPresenter::nothingIsDrawnOverWhatCoversThePicture() {
    QFETCH(QString, parent);
    QWidget* host = parent.isEmpty() ? player_.get() : player_->findChild<QWidget*>(parent);
    QVERIFY(host);
    auto* cover = new QWidget(host);
    cover->setAutoFillBackground(true);
    QPalette palette = cover->palette();
    palette.setColor(QPalette::Window, QColor(200, 30, 40));
    cover->setPalette(palette);
    const QRect inView(video_->width() / 4, video_->height() / 4, video_->width() / 2,
                       video_->height() / 2);
    cover->setGeometry(QRect(video_->mapTo(host, inView.topLeft()), inView.size()));
    cover->show();
    cover->raise();
    waitForFrames(10);
    QVERIFY(allOf(onScreen(inView), QColor(200, 30, 40)));
    // Around it the picture goes on.
    const QRect below(0, inView.bottom() + 1, video_->width(),
                      video_->height() - inView.bottom() - 1);
    const QImage before = onScreen(below);
    waitForFrames(10);
    QVERIFY(onScreen(below) != before);

    cover->hide();
    waitForFrames(10);
    const QImage uncovered = onScreen(inView);
    waitForFrames(10);
    QVERIFY(!allOf(uncovered, QColor(200, 30, 40)));
    QVERIFY(onScreen(inView) != uncovered);
    delete cover;
}

// Every picture through the window's own paint, as on other platforms.
void TestScreenPresenter::theToolkitPaintsWhenAskedTo() {
    EngineOptions options = kSilent;
    options.videoThroughWindow = true;
    MediaPlayer player(options);
    auto* video = player.findChild<VideoView*>(QStringLiteral("videoView"));
    QVERIFY(video && !video->presentsDirectly());
    PaintCounter counter(video);
    play(player);
    const qint64 from = player.paintedFrames();
    QTRY_VERIFY_WITH_TIMEOUT(player.paintedFrames() >= from + 10, 10000);
    QVERIFY(counter.paints >= 10);
}

// Window numbers are only unique per server: on a display other than the application's (one
// given on its command line, say) the picture would land on whatever window has the view's number.
void TestScreenPresenter::onlyOnTheApplicationsOwnDisplay() {
    QVERIFY(ScreenPresenter::forApplication());
    QProcess other;
    other.start(QStringLiteral("Xvfb"),
                {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                 QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                 QStringLiteral("320x240x24")});
    QVERIFY(other.waitForStarted(5000));
    QDeadlineTimer deadline(10000);
    while (!other.canReadLine() && !deadline.hasExpired())
        other.waitForReadyRead(int(deadline.remainingTime()));
    const QByteArray number = other.readLine().trimmed();
    QVERIFY(!number.isEmpty());
    const QByteArray own = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":" + number);
    const bool otherTakesPictures = bool(ScreenPresenter::open());
    const bool offeredThere = bool(ScreenPresenter::forApplication());
    qputenv("DISPLAY", own);
    other.terminate();
    other.waitForFinished(5000);
    QVERIFY(otherTakesPictures);
    QVERIFY(!offeredThere);
}

QTEST_MAIN(TestScreenPresenter)
#include "tst_screen_presenter.moc"
