#include "Processes.h"
#include "catalogue/FileIo.h"
#include "catalogue/HttpGet.h"
#include "catalogue/PageExtraction.h"
#include "catalogue/TvStation.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

unsigned modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class TestInstalledCopy : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void keepsItsFilesInTheDataHome();
    void aSessionWithoutSoundLeavesTheTerminalQuiet();
};

// Laid out as the package installs it, the viewer writes nothing beside itself, even as root,
// and works in $XDG_DATA_HOME/velmora-tv exactly as a portable copy does beside itself.
void TestInstalledCopy::keepsItsFilesInTheDataHome() {
    StationProcess station;
    QVERIFY(station.started());
    ViewerProcess viewer(ViewerProcess::Layout::Installed);
    const QString dataHome = QFileInfo(viewer.programDirectory()).path();
    QVERIFY(!QFileInfo::exists(dataHome));
    viewer.start(station.address());
    QVERIFY2(viewer.waitForEvent(u"ready"_s, 60000), qPrintable(viewer.events().join(u'\n')));
    QCOMPARE(viewer.events().filter(QRegularExpression(u"^group "_s)),
             (QStringList{u"group 新闻联播 50"_s, u"group 药都时空 50"_s, u"group 走进农家 20"_s,
                          u"group 谯城报道 48"_s, u"group 药都论坛 7"_s}));

    const QString dir = viewer.programDirectory();
    QCOMPARE(dir.sliced(dataHome.size()), u"/velmora-tv"_s);
    std::string expectedCatalogue;
    for (const CategoryRow& row : TvStation::categories()) {
        const std::string section =
            cutContentSection(HttpGet("http://" + station.address().toStdString() + row.pagePath));
        QVERIFY(section.size() > 1000);
        QCOMPARE(readWholeFile(dir + row.listFile).value(), section);
        for (const std::string& line : extractEntryLines(row, section))
            expectedCatalogue += line;
    }
    QCOMPARE(readWholeFile(dir + u"/spsj.txt"_s).value(), expectedCatalogue);
    // The lock only while it runs: it keeps a second viewer from these files.
    QCOMPARE(entriesOf(dir), (QStringList{u"spsj.txt"_s, u"velmora-tv.lock"_s, u"xzwj"_s}));
    // Folders made in the data home are the user's alone.
    QCOMPARE(modeOf(dir), 0700u);
    QCOMPARE(modeOf(dataHome), 0700u);

    const QString bin = QFileInfo(viewer.executable()).path();
    QCOMPARE(entriesOf(bin), QStringList{u"velmora-tv"_s});
    QCOMPARE(entriesOf(bin + u"/../share/velmora-tv"_s), QStringList{u"软件特性.txt"_s});
    QCOMPARE(viewer.endWithKey(u"Velmora网络电视"_s, u"ctrl+q"_s, 15000), 0);
    // Leaving keeps the window's place and the volume; the lock goes with the viewer.
    QCOMPARE(entriesOf(dir), (QStringList{u"settings.json"_s, u"spsj.txt"_s, u"xzwj"_s}));
}

// No sound card here and no sound server: a whole session with a programme played may put a
// line or two on standard error, not the thousands the audio library used to write.
void TestInstalledCopy::aSessionWithoutSoundLeavesTheTerminalQuiet() {
    StationProcess station;
    QVERIFY(station.started());
    QTemporaryDir runtime; // a desktop session's own, so Qt need not warn about its absence
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QTemporaryDir logs;
    const QString errors = logs.filePath(u"stderr.log"_s);
    ViewerProcess viewer;
    viewer.setStandardErrorFile(errors);
    viewer.start(station.address(),
                 {u"VELMORA_AUDIO_OUTPUT="_s, u"XDG_RUNTIME_DIR="_s + runtime.path()});
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));

    const std::optional<QString> selected = viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000);
    QVERIFY(selected);
    QVERIFY(viewer.waitForEvent(u"first-frame"_s, 20000));
    QVERIFY(viewer.waitForEvent(u"player 正在播放"_s, 20000));
    QCOMPARE(viewer.endWithKey(u"Velmora网络电视——"_s + selected->mid(9), u"ctrl+q"_s, 15000), 0);

    QFile file(errors);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(file.readAll());
    QStringList lines = written.split(u'\n', Qt::SkipEmptyParts);
    // Chromium's note that its sandbox is off, which only root sees (prepareProcess).
    lines.removeAll(u"Sandboxing disabled by user."_s);
    QVERIFY2(lines.size() <= 2, qPrintable(written));
}

QTEST_GUILESS_MAIN(TestInstalledCopy)
#include "tst_installed_copy.moc"
