// The remembered settings and their file, and where a remembered window goes on the screens
// there are now.
#include "WholeFiles.h"
#include "settings/ViewerSettings.h"
#include "ui/WindowPlacement.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

ViewerSettings fromBytes(const QByteArray& bytes) {
    return ViewerSettings::fromJson(ViewerSettings::parse(bytes).value_or(QJsonObject()));
}

const QSize kLeast{737, 470};
const QRect kPrimary{0, 0, 1920, 1050}; // a panel takes the last 30 rows
const QRect kLeftOfIt{-1280, 0, 1280, 1024};

} // namespace

class TestViewerSettings : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void writesTheBytesItSaysAndReadsThemBack();
    void eachFieldOfTheWrongKindReadsAsItsDefault_data();
    void eachFieldOfTheWrongKindReadsAsItsDefault();
    void anUnreadableFileReadsAsTheDefaults_data();
    void anUnreadableFileReadsAsTheDefaults();
    void otherFieldsStayWhileTheyFit();
    void aWindowKeepsAPlaceOnAScreen_data();
    void aWindowKeepsAPlaceOnAScreen();
    void aWindowOffEveryScreenComesBack_data();
    void aWindowOffEveryScreenComesBack();
};

void TestViewerSettings::writesTheBytesItSaysAndReadsThemBack() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    QCOMPARE(ViewerSettings::fromJson(ViewerSettings::readFile(path)), ViewerSettings());

    ViewerSettings settings;
    settings.volume = 0;
    settings.muted = true;
    settings.window = ViewerSettings::Window{QRect(-1200, 40, 900, 620), true};
    QVERIFY(settings.writeFile(path));
    QCOMPARE(readAll(path),
             R"({"muted":true,"version":1,"volume":0,"window":{"height":620,"maximised":true,)"
             R"("width":900,"x":-1200,"y":40}})");
    QCOMPARE(ViewerSettings::fromJson(ViewerSettings::readFile(path)), settings);
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) ==
            QStringList{u"settings.json"_s});

    // No folder to write in: the old file is all there is.
    QVERIFY(!settings.writeFile(dir.filePath(u"gone/settings.json"_s)));
}

void TestViewerSettings::eachFieldOfTheWrongKindReadsAsItsDefault_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("volume");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<QString>("window"); // "x,y wxh m" or "none"
    const QByteArray place = R"("window":{"x":10,"y":20,"width":800,"height":500})";
    QTest::newRow("all well") << R"({"version":1,"volume":100,"muted":true,)" + place + "}" << 100
                              << true << u"10,20 800x500 0"_s;
    QTest::newRow("a newer version")
        << R"({"version":7,"volume":30})"_ba << 30 << false << u"none"_s;
    QTest::newRow("volume as text")
        << R"({"version":1,"volume":"60","muted":true})"_ba << 50 << true << u"none"_s;
    QTest::newRow("volume a fraction")
        << R"({"version":1,"volume":60.5})"_ba << 50 << false << u"none"_s;
    QTest::newRow("volume too loud")
        << R"({"version":1,"volume":101})"_ba << 50 << false << u"none"_s;
    QTest::newRow("muted as a number")
        << R"({"version":1,"volume":70,"muted":1})"_ba << 70 << false << u"none"_s;
    QTest::newRow("window without its height")
        << R"({"version":1,"muted":true,"window":{"x":10,"y":20,"width":800}})"_ba << 50 << true
        << u"none"_s;
    QTest::newRow("window past 16 bits")
        << R"({"version":1,"window":{"x":40000,"y":20,"width":800,"height":500}})"_ba << 50 << false
        << u"none"_s;
    QTest::newRow("maximised as text")
        << R"({"version":1,"window":{"x":-10,"y":-20,"width":800,"height":500,"maximised":"1"}})"_ba
        << 50 << false << u"-10,-20 800x500 0"_s;
    QTest::newRow("maximised")
        << R"({"version":1,"window":{"x":0,"y":0,"width":800,"height":500,"maximised":true}})"_ba
        << 50 << false << u"0,0 800x500 1"_s;
}

void TestViewerSettings::eachFieldOfTheWrongKindReadsAsItsDefault() {
    QFETCH(QByteArray, content);
    QFETCH(int, volume);
    QFETCH(bool, muted);
    QFETCH(QString, window);
    const ViewerSettings settings = fromBytes(content);
    QCOMPARE(settings.volume, volume);
    QCOMPARE(settings.muted, muted);
    QString shown = u"none"_s;
    if (settings.window) {
        const QRect r = settings.window->normal;
        shown = u"%1,%2 %3x%4 %5"_s.arg(r.x())
                    .arg(r.y())
                    .arg(r.width())
                    .arg(r.height())
                    .arg(int(settings.window->maximised));
    }
    QCOMPARE(shown, window);
}

void TestViewerSettings::anUnreadableFileReadsAsTheDefaults_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("not JSON") << u"text"_s;
    QTest::newRow("no version") << u"unversioned"_s;
    QTest::newRow("one byte over 64 KiB") << u"over"_s;
    QTest::newRow("a FIFO") << u"fifo"_s;
    QTest::newRow("a folder") << u"folder"_s;
}

void TestViewerSettings::anUnreadableFileReadsAsTheDefaults() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    const QByteArray quiet = R"({"version":1,"volume":5,"muted":true,"pad":")";
    if (kind == u"text"_s) {
        writeAll(path, "volume=5\nmuted=true\n");
    } else if (kind == u"unversioned"_s) {
        writeAll(path, R"({"volume":5,"muted":true})");
    } else if (kind == u"over"_s) {
        // Well formed, and one byte too many.
        const QByteArray over = quiet + QByteArray(64 * 1024 - quiet.size() - 1, 'x') + "\"}";
        QCOMPARE(over.size(), 64 * 1024 + 1);
        writeAll(path, over);
        // At the limit exactly it is read.
        QCOMPARE(fromBytes(over.left(quiet.size()) + over.mid(quiet.size() + 1)).volume, 5);
    } else if (kind == u"fifo"_s) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QVERIFY(QDir(dir.path()).mkdir(u"settings.json"_s));
    }
    // A FIFO nobody writes to would hold a blocking read here for ever.
    QCOMPARE(ViewerSettings::fromJson(ViewerSettings::readFile(path)), ViewerSettings());
}

void TestViewerSettings::otherFieldsStayWhileTheyFit() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.json"_s);
    writeAll(path, R"({"version":2,"volume":20,"subtitles":{"size":3},"window":"bad"})");
    const QJsonObject stored = ViewerSettings::readFile(path);
    ViewerSettings settings = ViewerSettings::fromJson(stored);
    settings.volume = 25;
    QVERIFY(settings.writeFile(path, stored));
    QCOMPARE(readAll(path), R"({"muted":false,"subtitles":{"size":3},"version":1,"volume":25})");

    // Fields that would take the file past its limit give way; the settings are written.
    QJsonObject big = stored;
    big.insert(u"pad"_s, QString(64 * 1024, u'x'));
    QVERIFY(settings.writeFile(path, big));
    QCOMPARE(readAll(path), R"({"muted":false,"version":1,"volume":25})");
}

void TestViewerSettings::aWindowKeepsAPlaceOnAScreen_data() {
    QTest::addColumn<QRect>("remembered");
    QTest::addColumn<QRect>("placed");
    QTest::newRow("on the primary") << QRect(100, 80, 900, 620) << QRect(100, 80, 900, 620);
    QTest::newRow("on the screen left of it")
        << QRect(-1100, 200, 800, 500) << QRect(-1100, 200, 800, 500);
    QTest::newRow("mostly off the right edge")
        << QRect(1800, 300, 900, 620) << QRect(1800, 300, 900, 620);
    QTest::newRow("smaller than its least size")
        << QRect(100, 80, 300, 200) << QRect(100, 80, 737, 470);
    QTest::newRow("from a larger screen") << QRect(0, 0, 2560, 1400) << QRect(0, 0, 1920, 1050);
}

void TestViewerSettings::aWindowKeepsAPlaceOnAScreen() {
    QFETCH(QRect, remembered);
    QFETCH(QRect, placed);
    QCOMPARE(WindowPlacement::place(remembered, kLeast, {kPrimary, kLeftOfIt}), placed);
}

void TestViewerSettings::aWindowOffEveryScreenComesBack_data() {
    QTest::addColumn<QRect>("remembered");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QRect>("placed");
    const QList<QRect> both{kPrimary, kLeftOfIt};
    // The middle of the primary for 900 x 620: (1919 - 899 / 2, 1049 - 619 / 2) less the half.
    const QRect middle(510, 215, 900, 620);
    QTest::newRow("a monitor unplugged since")
        << QRect(3000, 200, 900, 620) << QList<QRect>{kPrimary} << middle;
    QTest::newRow("only 99 px of its top on a screen")
        << QRect(1821, 300, 900, 620) << both << middle;
    QTest::newRow("its top above every screen") << QRect(100, -400, 900, 620) << both << middle;
    QTest::newRow("its top above the screen left of it")
        << QRect(-1200, -100, 800, 500) << both << QRect(-1039, 262, 800, 500);
    QTest::newRow("larger than the only screen, off it")
        << QRect(5000, 5000, 1000, 700) << QList<QRect>{QRect(0, 0, 640, 480)}
        << QRect(0, 0, 737, 480);
}

void TestViewerSettings::aWindowOffEveryScreenComesBack() {
    QFETCH(QRect, remembered);
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, placed);
    QCOMPARE(WindowPlacement::place(remembered, kLeast, screens), placed);
}

QTEST_GUILESS_MAIN(TestViewerSettings)
#include "tst_viewer_settings.moc"
