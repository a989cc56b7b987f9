// Special files in a data file's place: FIFOs, folders, links and oversized files. A blocking open
// would hang the test itself, so every case here finishing is part of what it checks.
#include "catalogue/FileIo.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <sys/stat.h>

using namespace std::string_literals;
using namespace Qt::StringLiterals;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

bool makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool isFifo(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

unsigned modeBits(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class TestFileIo : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init();

    void readsOnlyRegularFiles();
    void readsUpToTheLimit();
    void dataFilesReplaceLinksAndFifos();
    void dataFilesStayInsideTheDirectory();
    void writeThroughLinksKeepsTheUsersLink();
    void failedWriteLeavesNoTemporary();

    void settingsFileSpecialFiles();
    void settingsFileSizeLimit();
    void settingsFileLink();

  private:
    std::optional<QTemporaryDir> dir_;
    QString path(const QString& name) const { return dir_->filePath(name); }
};

void TestFileIo::init() {
    dir_.emplace();
    QVERIFY(dir_->isValid());
}

void TestFileIo::readsOnlyRegularFiles() {
    QVERIFY(makeFifo(path(u"fifo"_s)));
    QVERIFY(QDir(dir_->path()).mkdir(u"folder"_s));
    QVERIFY(QFile::link(u"/dev/zero"_s, path(u"device"_s)));
    QVERIFY(QFile::link(path(u"nowhere"_s), path(u"dangling"_s)));
    writeBytes(path(u"plain"_s), "bytes");
    QVERIFY(QFile::link(path(u"plain"_s), path(u"link"_s)));

    using Outcome = FileRead::Outcome;
    QCOMPARE(readRegularFile(path(u"fifo"_s)).outcome, Outcome::Unreadable);
    QCOMPARE(readRegularFile(path(u"folder"_s)).outcome, Outcome::Unreadable);
    QCOMPARE(readRegularFile(path(u"device"_s)).outcome, Outcome::Unreadable);
    QCOMPARE(readRegularFile(path(u"dangling"_s)).outcome, Outcome::Unreadable);
    QCOMPARE(readRegularFile(path(u"absent"_s)).outcome, Outcome::Missing);
    QCOMPARE(readRegularFile(path(u"absent/deeper"_s)).outcome, Outcome::Missing);
    QCOMPARE(readRegularFile(path(u"plain/deeper"_s)).outcome, Outcome::Missing);
    QCOMPARE(readWholeFile(path(u"link"_s)), "bytes"s);

    // Data files: the same, and a link is not followed either.
    QCOMPARE(readDataFile(dir_->path(), u"/fifo"_s), std::nullopt);
    QCOMPARE(readDataFile(dir_->path(), u"/folder"_s), std::nullopt);
    QCOMPARE(readDataFile(dir_->path(), u"/link"_s), std::nullopt);
    QCOMPARE(readDataFile(dir_->path(), u"/plain"_s), "bytes"s);
    QCOMPARE(dataFileSize(dir_->path(), u"/fifo"_s), std::nullopt);
    QCOMPARE(dataFileSize(dir_->path(), u"/link"_s), std::nullopt);
    QCOMPARE(dataFileSize(dir_->path(), u"/plain"_s), 5);
}

void TestFileIo::readsUpToTheLimit() {
    writeBytes(path(u"ten"_s), "0123456789");
    QCOMPARE(readWholeFile(path(u"ten"_s), 10), "0123456789"s);
    QCOMPARE(readWholeFile(path(u"ten"_s), 9), std::nullopt);
    QCOMPARE(readDataFile(dir_->path(), u"ten"_s, 10), "0123456789"s);
    QCOMPARE(readDataFile(dir_->path(), u"ten"_s, 9), std::nullopt);
    writeBytes(path(u"empty"_s), "");
    QCOMPARE(readWholeFile(path(u"empty"_s), 0), ""s);
}

void TestFileIo::dataFilesReplaceLinksAndFifos() {
    const QDir root(dir_->path());
    QVERIFY(root.mkdir(u"xzwj"_s));
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(u"victim.txt"_s);
    writeBytes(victim, "the user's own file");

    // A link to another file: the link goes, the file it led to stays as it was.
    QVERIFY(QFile::link(victim, path(u"xzwj/xwlb.txt"_s)));
    QVERIFY(writeDataFile(dir_->path(), u"/xzwj/xwlb.txt"_s, "station bytes"));
    QCOMPARE(fileBytes(victim), "the user's own file"_ba);
    QVERIFY(!QFileInfo(path(u"xzwj/xwlb.txt"_s)).isSymLink());
    QCOMPARE(fileBytes(path(u"xzwj/xwlb.txt"_s)), "station bytes"_ba);

    // A link that leads nowhere creates nothing where it pointed.
    const QString outside = elsewhere.filePath(u"created.txt"_s);
    QVERIFY(QFile::link(outside, path(u"spsj.txt"_s)));
    QVERIFY(writeDataFile(dir_->path(), u"/spsj.txt"_s, "catalogue"));
    QVERIFY(!QFileInfo::exists(outside));
    QCOMPARE(fileBytes(path(u"spsj.txt"_s)), "catalogue"_ba);

    // A FIFO is replaced by the file, without waiting for a reader.
    QVERIFY(makeFifo(path(u"xzwj/ydsk.txt"_s)));
    QVERIFY(writeDataFile(dir_->path(), u"/xzwj/ydsk.txt"_s, "list"));
    QCOMPARE(fileBytes(path(u"xzwj/ydsk.txt"_s)), "list"_ba);
}

void TestFileIo::dataFilesStayInsideTheDirectory() {
    QTemporaryDir elsewhere;
    writeBytes(elsewhere.filePath(u"xwlb.txt"_s), "elsewhere");
    QVERIFY(QFile::link(elsewhere.path(), path(u"xzwj"_s)));

    // A download folder that is a link is not used: nothing is written, read or measured in it.
    QVERIFY(!writeDataFile(dir_->path(), u"/xzwj/xwlb.txt"_s, "station bytes"));
    QVERIFY(!writeDataFile(dir_->path(), u"/xzwj/ydsk.txt"_s, "station bytes"));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"xwlb.txt"_s});
    QCOMPARE(fileBytes(elsewhere.filePath(u"xwlb.txt"_s)), "elsewhere"_ba);
    QCOMPARE(readDataFile(dir_->path(), u"/xzwj/xwlb.txt"_s), std::nullopt);
    QCOMPARE(dataFileSize(dir_->path(), u"/xzwj/xwlb.txt"_s), std::nullopt);

    QVERIFY(!writeDataFile(dir_->path(), u"../escaped.txt"_s, "x"));
    QVERIFY(!writeDataFile(dir_->path(), u"/"_s, "x"));
    QVERIFY(!QFileInfo::exists(QFileInfo(dir_->path()).path() + u"/escaped.txt"_s));
}

void TestFileIo::writeThroughLinksKeepsTheUsersLink() {
    QTemporaryDir elsewhere;
    const QString real = elsewhere.filePath(u"settings.ini"_s);
    writeBytes(real, "old");
    QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::link(real, path(u"index.ini"_s)));

    const std::string_view pieces[] = {"new ", "content"};
    QVERIFY(writeFileThroughLinks(path(u"index.ini"_s), pieces));
    QVERIFY(QFileInfo(path(u"index.ini"_s)).isSymLink());
    QCOMPARE(fileBytes(real), "new content"_ba);
    QCOMPARE(modeBits(real), 0600u);

    const QString nowhere = elsewhere.filePath(u"nowhere.ini"_s);
    QVERIFY(QFile::link(nowhere, path(u"dangling.ini"_s)));
    QVERIFY(!writeFileThroughLinks(path(u"dangling.ini"_s), pieces));
    QVERIFY(!QFileInfo::exists(nowhere));
}

void TestFileIo::failedWriteLeavesNoTemporary() {
    // A folder of that name cannot be replaced by a file; the temporary file must not stay.
    QVERIFY(QDir(dir_->path()).mkpath(u"spsj.txt/inside"_s));
    QVERIFY(!writeDataFile(dir_->path(), u"/spsj.txt"_s, "catalogue"));
    QVERIFY(!writeFileAtomically(path(u"spsj.txt"_s), "catalogue"));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestFileIo::settingsFileSpecialFiles() {
    const QString ini = path(u"index.ini"_s);
    QVERIFY(makeFifo(ini));
    QCOMPARE(readIniValue(ini, "shou", "gengxing", "none"), "none"s);
    QVERIFY(!writeIniValue(ini, "shou", "gengxing", "1"));
    QVERIFY(isFifo(ini));

    // A dangling link is no missing file: nothing is created where it leads.
    QTemporaryDir elsewhere;
    const QString dangling = path(u"dangling.ini"_s);
    QVERIFY(QFile::link(elsewhere.filePath(u"gone.ini"_s), dangling));
    QCOMPARE(readIniValue(dangling, "shou", "gengxing", "none"), "none"s);
    QVERIFY(!writeIniValue(dangling, "shou", "gengxing", "1"));
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestFileIo::settingsFileSizeLimit() {
    const QString ini = path(u"index.ini"_s);
    // Exactly at the limit the file is the user's settings; one byte more and it is left alone.
    QByteArray content = "[shou]\r\ngengxing=1\r\n"_ba;
    content += QByteArray(kMaxIniFileBytes - content.size(), '\n');
    writeBytes(ini, content);
    QCOMPARE(readIniValue(ini, "shou", "gengxing"), "1"s);
    QVERIFY(writeIniValue(ini, "shou", "gengxing", "0"));
    QCOMPARE(QFileInfo(ini).size(), kMaxIniFileBytes);
    QCOMPARE(fileBytes(ini).left(20), "[shou]\r\ngengxing=0\r\n"_ba);

    content.append('\n');
    writeBytes(ini, content);
    QCOMPARE(readIniValue(ini, "shou", "gengxing", "none"), "none"s);
    QVERIFY(!writeIniValue(ini, "shou", "gengxing", "0"));
    QCOMPARE(QFileInfo(ini).size(), kMaxIniFileBytes + 1);
    QCOMPARE(fileBytes(ini).left(20), "[shou]\r\ngengxing=1\r\n"_ba);
}

void TestFileIo::settingsFileLink() {
    QTemporaryDir elsewhere;
    const QString real = elsewhere.filePath(u"mine.ini"_s);
    writeBytes(real, "; kept\n[shou]\ngengxing=0\n");
    const QString ini = path(u"index.ini"_s);
    QVERIFY(QFile::link(real, ini));
    QCOMPARE(readIniValue(ini, "shou", "gengxing"), "0"s);
    QVERIFY(writeIniValue(ini, "shou", "gengxing", "1"));
    QVERIFY(QFileInfo(ini).isSymLink());
    QCOMPARE(fileBytes(real), "; kept\n[shou]\ngengxing=1\n"_ba);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"index.ini"_s});
}

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
