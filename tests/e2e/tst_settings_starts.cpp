// The remembered settings across real starts of the viewer: the volume and mute set with the
// player's keys and the window's size and place set on the X server are there at the next start;
// a maximised window remembered off every screen comes back maximised onto the screen; a settings
// file that is broken, huge, of the wrong kinds or a FIFO starts with the defaults.
#include "Processes.h"
#include "WholeFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString kWindow = u"Velmora网络电视"_s;
const QString kDefaults = u"settings volume=50 muted=0 window=default"_s;
const QString kDeclared = u"737x475"_s;

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000) || process.exitCode() != 0)
        return u"<failed>"_s;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString windowId(const ViewerProcess& viewer) {
    const std::optional<QString> shown = viewer.waitForEvent(u"shown window="_s, 60000);
    return shown ? shown->mid(13) : QString();
}

// The window as the X server has it: "x,y wxh".
QString geometryOf(const QString& window) {
    const QStringList lines =
        run(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, window}).split(u'\n');
    QHash<QString, QString> values;
    for (const QString& line : lines)
        values.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    return u"%1,%2 %3x%4"_s.arg(values.value(u"X"_s), values.value(u"Y"_s),
                                values.value(u"WIDTH"_s), values.value(u"HEIGHT"_s));
}

// Polls the file until it holds `content`; false at the deadline.
bool waitForContent(const QString& path, const QByteArray& content, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (readAll(path) != content && !deadline.hasExpired())
        QTest::qWait(50);
    return readAll(path) == content;
}

} // namespace

class TestSettingsStarts : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void soundAndWindowOutliveARestart();
    void aMaximisedWindowOffEveryScreenComesBack();
    void aHostileFileStartsWithTheDefaults_data();
    void aHostileFileStartsWithTheDefaults();

  private:
    std::unique_ptr<StationProcess> station_;
};

void TestSettingsStarts::initTestCase() {
    station_ = std::make_unique<StationProcess>();
    QVERIFY(station_->started());
}

void TestSettingsStarts::soundAndWindowOutliveARestart() {
    ViewerProcess viewer;
    const QString settings = viewer.programDirectory() + u"/settings.json"_s;
    const QString trace = viewer.programDirectory() + u"/trace.log"_s;

    viewer.start(station_->address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    QCOMPARE(viewer.waitForEvent(u"settings "_s, 15000).value_or(QString()), kDefaults);
    const QString first = windowId(viewer);
    QVERIFY(!first.isEmpty());
    // The declared size: the client area of 737 x 452 under the menu bar.
    QCOMPARE(geometryOf(first).section(u' ', 1), kDeclared);
    QVERIFY(!QFile::exists(settings));

    // A click gives the player the keys; two steps up and mute, written shortly after.
    QVERIFY(viewer.clickInMainWindow(200, 200));
    QVERIFY(viewer.pressKeyIn(kWindow, u"Up"_s));
    QVERIFY(viewer.pressKeyIn(kWindow, u"Up"_s));
    QVERIFY(viewer.pressKeyIn(kWindow, u"m"_s));
    QVERIFY2(viewer.waitForEvent(u"settings-saved volume=60 muted=1 "_s, 15000),
             qPrintable(viewer.events().join(u'\n')));
    // What a window manager does when the user drags and resizes the window.
    QCOMPARE(run(u"xdotool"_s, {u"windowsize"_s, u"--sync"_s, first, u"900"_s, u"620"_s,
                                u"windowmove"_s, u"--sync"_s, first, u"130"_s, u"90"_s}),
             QString());
    QCOMPARE(geometryOf(first), u"130,90 900x620"_s);
    QCOMPARE(viewer.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
    QCOMPARE(readAll(settings), R"({"muted":true,"version":1,"volume":60,"window":{"height":620,)"
                                R"("maximised":false,"width":900,"x":130,"y":90}})");

    QVERIFY(QFile::remove(trace));
    viewer.start(station_->address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    QCOMPARE(viewer.waitForEvent(u"settings "_s, 15000).value_or(QString()),
             u"settings volume=60 muted=1 window=130,90 900x620 maximised=0"_s);
    const QString second = windowId(viewer);
    QCOMPARE(geometryOf(second), u"130,90 900x620"_s);
    // Unmuted with the key: the file follows without a quit.
    QVERIFY(viewer.clickInMainWindow(200, 200));
    QVERIFY(viewer.pressKeyIn(kWindow, u"m"_s));
    QVERIFY(waitForContent(settings,
                           R"({"muted":false,"version":1,"volume":60,"window":{"height":620,)"
                           R"("maximised":false,"width":900,"x":130,"y":90}})",
                           15000));
    QCOMPARE(viewer.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
}

void TestSettingsStarts::aMaximisedWindowOffEveryScreenComesBack() {
    ViewerProcess viewer;
    const QString settings = viewer.programDirectory() + u"/settings.json"_s;
    // Where a second monitor was, and an unknown field of a newer version.
    writeAll(settings, R"({"version":2,"volume":35,"theme":"dark","window":{"x":3000,"y":-2000,)"
                       R"("width":900,"height":620,"maximised":true}})");
    viewer.start(station_->address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    // The middle of the 1280 x 1024 screen.
    QCOMPARE(viewer.waitForEvent(u"settings "_s, 15000).value_or(QString()),
             u"settings volume=35 muted=0 window=190,202 900x620 maximised=1"_s);
    const QString window = windowId(viewer);
    QVERIFY(!window.isEmpty());
    // Without a window manager nobody makes it larger; the state is what one would act on.
    const QString state = run(u"xprop"_s, {u"-id"_s, window, u"_NET_WM_STATE"_s});
    QVERIFY2(state.contains(u"_NET_WM_STATE_MAXIMIZED_VERT"_s) &&
                 state.contains(u"_NET_WM_STATE_MAXIMIZED_HORZ"_s),
             qPrintable(state));
    QCOMPARE(geometryOf(window), u"190,202 900x620"_s);
    QCOMPARE(viewer.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
    QCOMPARE(readAll(settings),
             R"({"muted":false,"theme":"dark","version":1,"volume":35,"window":{"height":620,)"
             R"("maximised":true,"width":900,"x":190,"y":202}})");
}

void TestSettingsStarts::aHostileFileStartsWithTheDefaults_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("not JSON") << u"text"_s;
    QTest::newRow("a sparse 8 GiB file") << u"huge"_s;
    QTest::newRow("every field of the wrong kind") << u"kinds"_s;
    QTest::newRow("a FIFO") << u"fifo"_s;
}

void TestSettingsStarts::aHostileFileStartsWithTheDefaults() {
    QFETCH(QString, kind);
    ViewerProcess viewer;
    const QString settings = viewer.programDirectory() + u"/settings.json"_s;
    if (kind == u"text"_s) {
        writeAll(settings, "\xff\xfe volume = 80\n");
    } else if (kind == u"huge"_s) {
        writeAll(settings, R"({"version":1,"volume":80,"pad":")");
        QFile file(settings);
        QVERIFY(file.resize(qint64(8) << 30));
    } else if (kind == u"kinds"_s) {
        writeAll(settings, R"({"version":1,"volume":"80","muted":"yes","window":{"x":"0","y":[],)"
                           R"("width":1e9,"height":-5,"maximised":1}})");
    } else {
        QCOMPARE(mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
    }
    viewer.start(station_->address());
    QVERIFY2(viewer.waitForEvent(u"ready"_s, 60000), qPrintable(viewer.events().join(u'\n')));
    QCOMPARE(viewer.waitForEvent(u"settings "_s, 15000).value_or(QString()), kDefaults);
    QCOMPARE(geometryOf(windowId(viewer)).section(u' ', 1), kDeclared);
    QCOMPARE(viewer.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
    // Replaced by what the viewer had.
    QVERIFY(QFileInfo(settings).isFile());
    QVERIFY(readAll(settings).startsWith(R"({"muted":false,"version":1,"volume":50,"window":)"));
}

QTEST_GUILESS_MAIN(TestSettingsStarts)
#include "tst_settings_starts.moc"
