// The scaling that puts each decoded picture on screen: bilinear with pixel centres aligned, every
// pixel written opaque, nothing written outside the target or the clip, and a clipped part
// identical to the same part of the whole.
#include "playback/PictureScaler.h"

#include <QTest>
#include <cmath>
#include <random>

namespace {

constexpr QRgb Untouched = 0xff345678;

QImage filled(QSize size, QRgb colour, QImage::Format format = QImage::Format_RGB32) {
    QImage image(size, format);
    image.fill(colour);
    return image;
}

// The pixel as stored, whatever the format says of it.
QRgb raw(const QImage& image, int x, int y) {
    return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
}

// Channel 0 (blue) rises by 10 a column, channel 1 (green) by 10 a row. Linear data stays linear
// under bilinear filtering, so every scaled pixel is known from its position alone.
QImage ramps(QSize size, int pitchPixels) {
    QImage image(size.width(), size.height(), QImage::Format_RGB32);
    if (pitchPixels > size.width()) {
        // A pitch wider than the rows, as libVLC's buffers have.
        static std::vector<uchar> storage;
        storage.assign(size_t(pitchPixels) * 4 * size.height(), 0xee);
        image = QImage(storage.data(), size.width(), size.height(), pitchPixels * 4,
                       QImage::Format_RGB32);
    }
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = qRgba(0, 10 * y, 10 * x, 0);
    return image;
}

// Where the centre of target pixel i falls in the picture, clamped to its first and last centres.
double source(int i, int from, int to) {
    return std::clamp((i + 0.5) * from / to - 0.5, 0.0, double(from - 1));
}

} // namespace

class TestPictureScaler : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void twoPixelsAcrossFour();
    void rampsStayLinear_data();
    void rampsStayLinear();
    void writesOnlyInsideTargetAndClip();
    void clippedPartsMatchTheWhole();
    void onePixelFillsTheTarget();
    void takesOnly32BitImages();
    void wideVectorsGiveTheSamePicture();
};

void TestPictureScaler::twoPixelsAcrossFour() {
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, 0xff000000);
    picture.setPixel(1, 0, 0xffffffff);
    QImage into = filled({4, 1}, Untouched, QImage::Format_ARGB32_Premultiplied);
    PictureScaler().scale(picture, into, into.rect(), into.rect());
    QCOMPARE(raw(into, 0, 0), 0xff000000u);
    QCOMPARE(raw(into, 1, 0), 0xff404040u);
    QCOMPARE(raw(into, 2, 0), 0xffbfbfbfu);
    QCOMPARE(raw(into, 3, 0), 0xffffffffu);
}

void TestPictureScaler::rampsStayLinear_data() {
    QTest::addColumn<QSize>("from");
    QTest::addColumn<int>("pitch");
    QTest::addColumn<QSize>("to");
    // Up, down, mixed, odd widths that leave a tail past the vector steps, a padded pitch.
    QTest::newRow("up 2x") << QSize(16, 12) << 16 << QSize(32, 24);
    QTest::newRow("down") << QSize(24, 18) << 24 << QSize(20, 15);
    QTest::newRow("wide, short") << QSize(20, 20) << 20 << QSize(37, 9);
    QTest::newRow("narrow, tall") << QSize(21, 11) << 21 << QSize(7, 23);
    QTest::newRow("padded pitch") << QSize(13, 9) << 16 << QSize(27, 19);
}

void TestPictureScaler::rampsStayLinear() {
    QFETCH(QSize, from);
    QFETCH(int, pitch);
    QFETCH(QSize, to);
    const QImage picture = ramps(from, pitch);
    QImage into = filled(to + QSize(4, 4), Untouched, QImage::Format_ARGB32_Premultiplied);
    const QRect target(QPoint(2, 2), to);
    PictureScaler().scale(picture, into, target, into.rect());
    for (int y = 0; y < to.height(); ++y)
        for (int x = 0; x < to.width(); ++x) {
            const QRgb pixel = raw(into, target.x() + x, target.y() + y);
            const double blue = 10 * source(x, from.width(), to.width());
            const double green = 10 * source(y, from.height(), to.height());
            const QString at = QStringLiteral("%1,%2: %3").arg(x).arg(y).arg(pixel, 8, 16);
            QVERIFY2(qAlpha(pixel) == 255, qPrintable(at));
            QVERIFY2(std::abs(qBlue(pixel) - blue) <= 1.5, qPrintable(at));
            QVERIFY2(std::abs(qGreen(pixel) - green) <= 1.5, qPrintable(at));
            QVERIFY2(qRed(pixel) == 0, qPrintable(at));
        }
}

void TestPictureScaler::writesOnlyInsideTargetAndClip() {
    const QImage picture = filled({8, 6}, 0xff20a040);
    QImage into = filled({40, 30}, Untouched, QImage::Format_ARGB32_Premultiplied);
    // The target hangs over the image's right and bottom edges; the clip cuts a notch out of it.
    const QRect target(24, 10, 32, 24);
    const QRegion clip = QRegion(0, 0, 40, 30).subtracted(QRegion(28, 14, 6, 5));
    PictureScaler().scale(picture, into, target, clip);
    for (int y = 0; y < into.height(); ++y)
        for (int x = 0; x < into.width(); ++x) {
            const bool written = target.contains(x, y) && clip.contains(QPoint(x, y));
            QCOMPARE(raw(into, x, y), written ? 0xff20a040u : Untouched);
        }
}

void TestPictureScaler::clippedPartsMatchTheWhole() {
    const QImage picture = ramps({31, 17}, 32);
    for (const QSize size : {QSize(70, 40), QSize(19, 11)}) {
        QImage whole = filled(size, Untouched, QImage::Format_ARGB32_Premultiplied);
        PictureScaler().scale(picture, whole, whole.rect(), whole.rect());
        // Bands of one, two and several spans, as the window hands over around what covers it.
        const QRegion clip = QRegion(3, 2, 9, 5) + QRegion(14, 2, 4, 5) + QRegion(5, 8, 12, 1) +
                             QRegion(size.width() - 6, size.height() - 3, 6, 3);
        QImage parts = filled(size, Untouched, QImage::Format_ARGB32_Premultiplied);
        PictureScaler scaler;
        scaler.scale(picture, parts, parts.rect(), clip);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                QCOMPARE(raw(parts, x, y),
                         clip.contains(QPoint(x, y)) ? raw(whole, x, y) : Untouched);
    }
}

void TestPictureScaler::onePixelFillsTheTarget() {
    const QImage picture = filled({1, 1}, 0x00c08040);
    QImage into = filled({9, 7}, Untouched, QImage::Format_RGB32);
    PictureScaler().scale(picture, into, QRect(1, 1, 7, 5), into.rect());
    QCOMPARE(raw(into, 4, 3), 0xffc08040u);
    QCOMPARE(raw(into, 1, 1), 0xffc08040u);
    QCOMPARE(raw(into, 7, 5), 0xffc08040u);
    QCOMPARE(raw(into, 0, 0), Untouched);
    QCOMPARE(raw(into, 8, 6), Untouched);
}

void TestPictureScaler::takesOnly32BitImages() {
    QVERIFY(PictureScaler::canWriteInto(QImage(4, 4, QImage::Format_RGB32)));
    QVERIFY(PictureScaler::canWriteInto(QImage(4, 4, QImage::Format_ARGB32_Premultiplied)));
    QVERIFY(!PictureScaler::canWriteInto(QImage(4, 4, QImage::Format_RGB16)));
    QVERIFY(!PictureScaler::canWriteInto(QImage(4, 4, QImage::Format_RGBA8888)));
    QImage into = filled({4, 4}, 0xff010203, QImage::Format_RGB16);
    const QImage before = into.copy();
    PictureScaler().scale(filled({2, 2}, 0xffffffff), into, into.rect(), into.rect());
    QCOMPARE(into, before);
}

void TestPictureScaler::wideVectorsGiveTheSamePicture() {
    PictureScaler wide;
    if (!wide.useWideVectors(true))
        QSKIP("this processor has no 256-bit vectors");
    PictureScaler narrow;
    QVERIFY(!narrow.useWideVectors(false));
    std::mt19937 noise(7);
    for (const QSize from : {QSize(640, 480), QSize(37, 29), QSize(2, 3)}) {
        QImage picture(from, QImage::Format_RGB32);
        for (int y = 0; y < from.height(); ++y)
            for (int x = 0; x < from.width(); ++x)
                reinterpret_cast<QRgb*>(picture.scanLine(y))[x] = QRgb(noise());
        // Smaller and larger, widths off the eight-pixel step, whole and clipped.
        for (const QSize to : {QSize(533, 400), QSize(1280, 960), QSize(101, 77), QSize(9, 5)}) {
            const QRect target(QPoint(3, 1), to);
            const QSize store = to + QSize(5, 2);
            for (const QRegion& clip : {QRegion(QRect(QPoint(0, 0), store)),
                                        QRegion(4, 1, to.width() / 2 + 3, to.height()) +
                                            QRegion(to.width() / 2 + 9, 2, 13, 3)}) {
                QImage byWide = filled(store, Untouched, QImage::Format_ARGB32_Premultiplied);
                QImage byNarrow = byWide.copy();
                wide.scale(picture, byWide, target, clip);
                narrow.scale(picture, byNarrow, target, clip);
                QVERIFY2(byWide == byNarrow, qPrintable(QStringLiteral("%1x%2 to %3x%4")
                                                            .arg(from.width())
                                                            .arg(from.height())
                                                            .arg(to.width())
                                                            .arg(to.height())));
            }
        }
    }
}

QTEST_APPLESS_MAIN(TestPictureScaler)
#include "tst_picture_scaler.moc"
