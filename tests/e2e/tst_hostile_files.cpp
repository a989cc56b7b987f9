// The real viewer with special files where its own should be: links, FIFOs, a huge settings file,
// a linked download folder, and a typed address too long to play. Nothing may block the viewer,
// write through a link that bytes from the network reach, or cut the address; index.ini, the
// user's own file, keeps the user's link. The times printed are each outcome's.
#include "HostileChecks.h"
#include "StationPages.h"
#include "catalogue/FileIo.h"
#include "catalogue/PageExtraction.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString kMainTitle = u"Velmora网络电视"_s;
const QString kSettingsTitle = u"设置"_s;
const QString kUrlDialog = u"打开 URL"_s;
const QString kErrorTitle = u"错误！"_s;
constexpr qint64 kMiB = 1 << 20;

qint64 timeOf(const ViewerProcess& viewer, const QString& prefix) {
    QList<qint64> times;
    const QStringList events = viewer.events(&times);
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (events[i].startsWith(prefix))
            return times[i];
    }
    return -1;
}

void report(const char* what, qint64 ms) {
    qInfo("%-58s %6lld ms", what, ms);
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray head(const QString& path, qint64 bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray("<none>");
}

bool isFifo(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

bool makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// Types on the keyboard into whatever window has it.
bool typeKey(const QString& key) {
    QProcess xdotool;
    xdotool.start(u"xdotool"_s, {u"key"_s, key});
    return xdotool.waitForFinished(15000) && xdotool.exitCode() == 0;
}

// 设置 → 详细设置 with the keyboard, as a user would; the time from the menu item until the
// window shows what it read ("settings shown 自动更新" or "... 手动更新" in the trace).
qint64 openSettings(const ViewerProcess& viewer, const QString& mainTitle) {
    const QDeadlineTimer deadline(kOutcomeMs);
    while (!viewer.windowShown(kSettingsTitle) && !deadline.hasExpired()) {
        // The menu may take a moment to open on a busy machine; until it has, the "d" goes to
        // the main window, which has no use for it. A second Alt+S would close the menu again.
        viewer.pressKeyIn(mainTitle, u"alt+s"_s);
        const QDeadlineTimer menu(3000);
        while (!menu.hasExpired() && !viewer.windowShown(kSettingsTitle)) {
            typeKey(u"d"_s);
            viewer.waitForWindow(kSettingsTitle, 300);
        }
        if (!viewer.windowShown(kSettingsTitle))
            typeKey(u"Escape"_s);
    }
    if (!viewer.waitForEvent(u"settings shown "_s, kOutcomeMs))
        return -1;
    return timeOf(viewer, u"settings shown "_s) - timeOf(viewer, u"settings opening"_s);
}

QString settingsOutcome(const ViewerProcess& viewer) {
    const QStringList written =
        viewer.events().filter(QRegularExpression(u"^settings (stored|not-stored)"_s));
    return written.isEmpty() ? QString() : written.last();
}

// A click on 确定 in the settings window; the time until the trace says what became of the write.
qint64 confirmSettings(const ViewerProcess& viewer) {
    const qint64 start = monotonicMs();
    if (!viewer.clickIn(kSettingsTitle, 253, 205)) // 按钮1 at 221,193, 64 × 24
        return -1;
    const QDeadlineTimer deadline(kOutcomeMs);
    while (settingsOutcome(viewer).isEmpty()) {
        if (deadline.hasExpired())
            return -1;
        QTest::qWait(20);
    }
    return timeOf(viewer, settingsOutcome(viewer)) - start;
}

// A folder that refuses new files; for root, whom permissions do not stop, the immutable flag.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(QString path) : path_(std::move(path)) {
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::ExeOwner);
        if (writable())
            immutable_ = QProcess::execute(u"chattr"_s, {u"+i"_s, path_}) == 0;
    }
    ~ReadOnlyFolder() {
        if (immutable_)
            QProcess::execute(u"chattr"_s, {u"-i"_s, path_});
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool writable() const {
        QFile probe(path_ + u"/.probe"_s);
        if (!probe.open(QIODevice::WriteOnly))
            return false;
        probe.remove();
        return true;
    }

  private:
    QString path_;
    bool immutable_ = false;
};

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void linksFifoSettingsAndLongAddress();
    void hugeSettingsFileIsLeftAlone();
    void settingsLinkAtTheSizeLimit();
    void linkedDownloadFolderIsNotUsed();
    void fifoInAReadOnlyFolderDoesNotHoldTheStart();

  private:
    std::unique_ptr<StationProcess> station_;
};

void TestHostileFiles::initTestCase() {
    station_ = std::make_unique<StationProcess>();
    QVERIFY(station_->started());
}

void TestHostileFiles::linksFifoSettingsAndLongAddress() {
    ViewerProcess viewer;
    const QString dir = viewer.programDirectory();
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(u"victim.txt"_s);
    writeBytes(victim, "the user's own file");
    QVERIFY(QDir(dir).mkdir(u"xzwj"_s));
    QVERIFY(QFile::link(victim, dir + u"/xzwj/xwlb.txt"_s));
    QVERIFY(QFile::link(elsewhere.filePath(u"created.txt"_s), dir + u"/spsj.txt"_s));
    QVERIFY(makeFifo(dir + u"/index.ini"_s));

    viewer.start(station_->address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    report("links in xwlb.txt's and spsj.txt's place: start to ready",
           timeOf(viewer, u"ready"_s) - timeOf(viewer, u"process-started"_s));
    // The links were replaced inside the folder; what they led to is as it was.
    QCOMPARE(head(victim, 100), "the user's own file"_ba);
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"victim.txt"_s});
    QVERIFY(!QFileInfo(dir + u"/xzwj/xwlb.txt"_s).isSymLink());
    QCOMPARE(readWholeFile(dir + u"/xzwj/xwlb.txt"_s),
             cutContentSection(station::buildCategoryPage(1)));
    QVERIFY(!QFileInfo(dir + u"/spsj.txt"_s).isSymLink());
    QVERIFY(fileSize(dir + u"/spsj.txt"_s).value_or(0) > 0);

    // A FIFO as index.ini: unreadable, so 手动更新, and 确定 leaves it alone.
    const qint64 shown = openSettings(viewer, kMainTitle);
    QVERIFY(shown >= 0);
    report("index.ini a FIFO: 详细设置 to the window showing 手动更新", shown);
    QCOMPARE(viewer.events().filter(u"settings shown"_s),
             QStringList{u"settings shown 手动更新"_s});
    const qint64 confirmed = confirmSettings(viewer);
    QVERIFY(confirmed >= 0);
    report("index.ini a FIFO: 确定 to the refused write", confirmed);
    QCOMPARE(settingsOutcome(viewer), u"settings not-stored 0"_s);
    QVERIFY(isFifo(dir + u"/index.ini"_s));

    // 40 000 characters pasted into the address field: refused whole, not cut.
    const QString address = u"http://"_s + station_->address() + u"/sp/"_s +
                            QString(40000 - 15 - station_->address().size(), u'x') + u".wmv"_s;
    QCOMPARE(address.size(), 40000);
    QApplication::clipboard()->setText(address);
    QVERIFY(viewer.pressKeyIn(kMainTitle, u"ctrl+u"_s));
    QVERIFY(viewer.waitForWindow(kUrlDialog, kOutcomeMs));
    // The paste asks this process for the text, which it answers while it waits below; the
    // viewer takes the Return after the paste.
    QVERIFY(viewer.pressKeyIn(kUrlDialog, u"ctrl+v"_s));
    const qint64 entered = monotonicMs();
    QVERIFY(closeWithKey(viewer, kUrlDialog, u"Return"_s));
    const QString refusal = u"player 地址过长（40000 个字符，最多 32767 个），未播放"_s;
    QVERIFY2(viewer.waitForEvent(refusal, kOutcomeMs), qPrintable(viewer.events().join(u'\n')));
    report("40 000-character address: Return to the refusal", timeOf(viewer, refusal) - entered);
    QVERIFY(viewer.events().filter(u"play "_s).isEmpty());
    QCOMPARE(viewer.endWithKey(kMainTitle, u"ctrl+q"_s, kOutcomeMs), 0);
}

void TestHostileFiles::hugeSettingsFileIsLeftAlone() {
    ViewerProcess viewer;
    const QString ini = viewer.programDirectory() + u"/index.ini"_s;
    const QByteArray start = "[shou]\r\ngengxing=1\r\n"_ba;
    writeBytes(ini, start + QByteArray(20 * kMiB, '\n'));
    const QDateTime modified = QFileInfo(ini).lastModified();
    viewer.start(station_->address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));

    const qint64 shown = openSettings(viewer, kMainTitle);
    QVERIFY(shown >= 0);
    report("index.ini of 20 MiB: 详细设置 to the window showing 手动更新", shown);
    QCOMPARE(viewer.events().filter(u"settings shown"_s),
             QStringList{u"settings shown 手动更新"_s});
    const qint64 confirmed = confirmSettings(viewer);
    QVERIFY(confirmed >= 0);
    report("index.ini of 20 MiB: 确定 to the refused write", confirmed);
    QCOMPARE(settingsOutcome(viewer), u"settings not-stored 0"_s);
    QCOMPARE(QFileInfo(ini).size(), start.size() + 20 * kMiB);
    QCOMPARE(QFileInfo(ini).lastModified(), modified);
    QCOMPARE(head(ini, start.size()), start);
    QCOMPARE(viewer.endWithKey(kMainTitle, u"ctrl+q"_s, kOutcomeMs), 0);
}

void TestHostileFiles::settingsLinkAtTheSizeLimit() {
    ViewerProcess viewer;
    const QString ini = viewer.programDirectory() + u"/index.ini"_s;
    QTemporaryDir elsewhere;
    const QString mine = elsewhere.filePath(u"mine.ini"_s);
    const QByteArray start = "[shou]\r\ngengxing=\"1\"\r\n"_ba;
    writeBytes(mine, start + QByteArray(16 * kMiB - start.size(), '\n'));
    QVERIFY(QFile::link(mine, ini));
    viewer.start(station_->address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));

    const qint64 shown = openSettings(viewer, kMainTitle);
    QVERIFY(shown >= 0);
    report("index.ini a link to 16 MiB: 详细设置 to the window showing 自动更新", shown);
    QCOMPARE(viewer.events().filter(u"settings shown"_s),
             QStringList{u"settings shown 自动更新"_s});
    const qint64 confirmed = confirmSettings(viewer);
    QVERIFY(confirmed >= 0);
    report("index.ini a link to 16 MiB: 确定 to the written file", confirmed);
    QCOMPARE(settingsOutcome(viewer), u"settings stored 1"_s);
    // Written through the user's link: the link stays, the file it leads to has the value.
    QVERIFY(QFileInfo(ini).isSymLink());
    QCOMPARE(head(mine, 20), "[shou]\r\ngengxing=1\r\n"_ba);
    QCOMPARE(QFileInfo(mine).size(), 16 * kMiB - 2);
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"mine.ini"_s});
    QCOMPARE(viewer.endWithKey(kMainTitle, u"ctrl+q"_s, kOutcomeMs), 0);
}

void TestHostileFiles::linkedDownloadFolderIsNotUsed() {
    ViewerProcess viewer;
    const QString dir = viewer.programDirectory();
    QTemporaryDir elsewhere;
    writeBytes(elsewhere.filePath(u"keep.txt"_s), "kept");
    QVERIFY(QFile::link(elsewhere.path(), dir + u"/xzwj"_s));
    viewer.start(station_->address());

    // Treated as a download folder that cannot be made: no list file, the message, code 1.
    QVERIFY2(viewer.waitForEvent(u"incomplete-data"_s, 60000),
             qPrintable(viewer.events().join(u'\n')));
    report("xzwj a link to another folder: start to the message",
           timeOf(viewer, u"incomplete-data"_s) - timeOf(viewer, u"process-started"_s));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"keep.txt"_s});
    QCOMPARE(head(elsewhere.filePath(u"keep.txt"_s), 10), "kept"_ba);
    QVERIFY(QFileInfo(dir + u"/xzwj"_s).isSymLink());
    QCOMPARE(viewer.endWithKey(kErrorTitle, u"Return"_s, kOutcomeMs), 1);
}

void TestHostileFiles::fifoInAReadOnlyFolderDoesNotHoldTheStart() {
    ViewerProcess viewer;
    const QString folder = viewer.programDirectory() + u"/xzwj"_s;
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(makeFifo(folder + u"/xwlb.txt"_s));
    for (const char* name : {"ydsk.txt", "zjnj.txt", "qcbd.txt", "ydlt.txt"})
        writeBytes(folder + u'/' + QLatin1String(name), "left from an earlier start");
    ReadOnlyFolder readOnly(folder);
    QVERIFY(!readOnly.writable());
    viewer.start(station_->address());

    // Nothing can be replaced and the FIFO is not read: every list file is without data.
    QVERIFY2(viewer.waitForEvent(u"incomplete-data"_s, 60000),
             qPrintable(viewer.events().join(u'\n')));
    const qint64 steps = timeOf(viewer, u"step 药都时空"_s) - timeOf(viewer, u"step 新闻联播"_s);
    report("xwlb.txt a FIFO in a read-only folder: its step", steps);
    report("xwlb.txt a FIFO in a read-only folder: start to the message",
           timeOf(viewer, u"incomplete-data"_s) - timeOf(viewer, u"process-started"_s));
    QVERIFY(isFifo(folder + u"/xwlb.txt"_s));
    QCOMPARE(viewer.endWithKey(kErrorTitle, u"Return"_s, kOutcomeMs), 1);
}

QTEST_MAIN(TestHostileFiles)

#include "tst_hostile_files.moc"
