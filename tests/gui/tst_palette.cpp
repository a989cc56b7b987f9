// The colours follow the application palette: the light look stays the default, and under a
// dark palette the roll-down menu, the transport bar and its pictures stay readable.
#include "HostedWindow.h"
#include "playback/MediaPlayer.h"
#include "ui/MainWindow.h"
#include "ui/MenuColours.h"
#include "ui/RollDownMenu.h"

#include <QApplication>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <cmath>

using Status = MediaPlayer::Status;

namespace {

QPalette darkPalette() {
    QPalette p;
    const QColor window(53, 53, 53), base(35, 35, 35), disabled(127, 127, 127);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, Qt::white);
    p.setColor(QPalette::Light, QColor(80, 80, 80));
    p.setColor(QPalette::Midlight, QColor(66, 66, 66));
    p.setColor(QPalette::Mid, QColor(45, 45, 45));
    p.setColor(QPalette::Dark, QColor(25, 25, 25));
    p.setColor(QPalette::Shadow, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

double luminance(const QColor& c) {
    const auto linear = [](double v) {
        v /= 255;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

// The contrast ratio of two colours, 1 to 21.
double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The mean colour of what an icon draws.
QColor inkOf(const QIcon& icon) {
    const QImage image = icon.pixmap(16, 16).toImage();
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor c = image.pixelColor(x, y); c.alpha() > 200) {
                r += c.red();
                g += c.green();
                b += c.blue();
                ++n;
            }
    return n < 12 ? QColor() : QColor(int(r / n), int(g / n), int(b / n));
}

} // namespace

// A point of the menu where only the ground behind the items shows: left of an item's bullet.
QPoint groundPoint(const RollDownMenu& menu) {
    const QRect item = menu.itemRect(menu.openGroup(), 1);
    return {item.left() + 4, item.center().y()};
}

class TestPalette : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void lightLookIsTheDefault();
    void darkPaletteStaysReadable();

  private:
    void checkBarIcons(const QColor& background);

    std::unique_ptr<HostedWindow> hosted_;
    QPalette light_;
};

void TestPalette::initTestCase() {
    light_ = QApplication::palette();
    hosted_ = std::make_unique<HostedWindow>();
    QVERIFY(hosted_->ready());
    hosted_->player().setURL(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"));
    QTRY_COMPARE_WITH_TIMEOUT(hosted_->player().status(), Status::Playing, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(hosted_->player().paintedFrames() > 0, 10000);
}

void TestPalette::cleanupTestCase() {
    QApplication::setPalette(light_);
    hosted_.reset();
}

void TestPalette::checkBarIcons(const QColor& background) {
    for (const char* name : {"playPauseButton", "stopButton", "muteButton", "fullScreenButton"}) {
        auto* button = hosted_->player().findChild<QToolButton*>(QLatin1String(name));
        const QColor ink = inkOf(button->icon());
        QVERIFY2(ink.isValid(), name);
        QVERIFY2(contrast(ink, background) >= 4.5,
                 qPrintable(QLatin1String(name) + QLatin1Char(' ') + ink.name()));
    }
}

void TestPalette::lightLookIsTheDefault() {
    QVERIFY(!isDarkPalette(QApplication::palette()));
    const MenuColours c = menuColours(QApplication::palette());
    QCOMPARE(c.background, QColor(Qt::white));
    QCOMPARE(c.itemText, QColor(0x1f, 0x1f, 0x1f));
    QCOMPARE(c.headerText, QColor(0x12, 0x35, 0x5f));
    QCOMPARE(c.selectedTop, QColor(0x4b, 0x9a, 0xec));
    QCOMPARE(c.selectedBottom, QColor(0x2a, 0x78, 0xd4));
    QCOMPARE(c.frame, QColor(0x7f, 0x9d, 0xb9));
    RollDownMenu& menu = hosted_->menu();
    QVERIFY(!menu.itemRect(menu.openGroup(), 1).isEmpty());
    const QImage shot = menu.grab().toImage();
    QCOMPARE(shot.pixelColor(groundPoint(menu)), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(0, 0), QColor(0x7f, 0x9d, 0xb9));
    checkBarIcons(hosted_->player()
                      .findChild<QWidget*>(QStringLiteral("transportBar"))
                      ->palette()
                      .color(QPalette::Window));
}

void TestPalette::darkPaletteStaysReadable() {
    QApplication::setPalette(darkPalette());
    RollDownMenu& menu = hosted_->menu();
    QTRY_VERIFY(isDarkPalette(menu.palette()));
    const MenuColours c = menuColours(menu.palette());
    QVERIFY(contrast(c.itemText, c.background) >= 7);
    QVERIFY(contrast(c.itemText, c.hover) >= 4.5);
    for (const QColor& ground : {c.headerTop, c.headerBottom, c.hoveredHeaderTop,
                                 c.hoveredHeaderBottom, c.openHeaderTop, c.openHeaderBottom})
        QVERIFY2(contrast(c.headerText, ground) >= 4.5, qPrintable(ground.name()));
    // As readable as the palette's own highlight is.
    QVERIFY(contrast(c.selectedText, c.selectedBottom) >= 3.5);
    QVERIFY(contrast(c.arrow, c.openHeaderBottom) >= 3);

    // What is painted is the dark look: the ground behind the items, the frame.
    const QImage shot = menu.grab().toImage();
    const QColor ground = shot.pixelColor(groundPoint(menu));
    QCOMPARE(ground, QColor(35, 35, 35));
    QVERIFY(shot.pixelColor(0, 0).lightness() < 128);

    // The bar is dark, its texts light, its pictures light on it.
    auto* bar = hosted_->player().findChild<QWidget*>(QStringLiteral("transportBar"));
    const QColor barGround = bar->palette().color(QPalette::Window);
    QCOMPARE(barGround, QColor(53, 53, 53));
    QCOMPARE(bar->grab().toImage().pixelColor(bar->width() / 2, bar->height() - 2), barGround);
    checkBarIcons(barGround);
    hosted_->player().findChild<QToolButton*>(QStringLiteral("muteButton"))->click();
    QVERIFY(hosted_->player().isMuted());
    checkBarIcons(barGround);
    saveShot(hosted_->window(), QStringLiteral("dark-palette"));

    // And back.
    QApplication::setPalette(light_);
    QTRY_VERIFY(!isDarkPalette(menu.palette()));
    QCOMPARE(menu.grab().toImage().pixelColor(groundPoint(menu)), QColor(Qt::white));
}

int main(int argc, char* argv[]) {
    TestPalette test;
    return runHostedTest(test, argc, argv);
}

#include "tst_palette.moc"
