#include "app/DataLocation.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDataLocation : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void chooseDataDirectory_data();
    void chooseDataDirectory();
    void featuresText_data();
    void featuresText();
    void installedDataFolderSitsBesideBin();
    void theBuildTreeKeepsItsFilesBesideTheViewer();
};

void TestDataLocation::chooseDataDirectory_data() {
    QTest::addColumn<QString>("executableDir");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected");

    QTest::newRow("portable copy stays beside itself")
        << u"/home/li/tv"_s << true << false << u"/home/li/data"_s << u"/home/li"_s
        << u"/home/li/tv"_s;
    QTest::newRow("installed copy uses XDG_DATA_HOME")
        << u"/usr/bin"_s << false << true << u"/home/li/data"_s << u"/home/li"_s
        << u"/home/li/data/velmora-tv"_s;
    QTest::newRow("unset XDG_DATA_HOME means ~/.local/share")
        << u"/usr/bin"_s << false << true << QString() << u"/home/li"_s
        << u"/home/li/.local/share/velmora-tv"_s;
    QTest::newRow("relative XDG_DATA_HOME is ignored")
        << u"/usr/bin"_s << false << true << u"data"_s << u"/home/li"_s
        << u"/home/li/.local/share/velmora-tv"_s;
    QTest::newRow("trailing separators are dropped")
        << u"/usr/bin"_s << false << true << u"/home/li/data//"_s << u"/home/li"_s
        << u"/home/li/data/velmora-tv"_s;
    // root may write /usr/bin, which still belongs to the package manager.
    QTest::newRow("installed copy run by root") << u"/usr/bin"_s << true << true << QString()
                                                << u"/root"_s << u"/root/.local/share/velmora-tv"_s;
    QTest::newRow("read-only portable copy")
        << u"/media/stick/tv"_s << false << false << QString() << u"/home/li"_s
        << u"/home/li/.local/share/velmora-tv"_s;
    QTest::newRow("spaces and Chinese in the data home")
        << u"/usr/bin"_s << false << true << u"/home/li/我的 数据"_s << u"/home/li"_s
        << u"/home/li/我的 数据/velmora-tv"_s;
    QTest::newRow("no home at all keeps the executable's folder")
        << u"/usr/bin"_s << false << true << QString() << QString() << u"/usr/bin"_s;
}

void TestDataLocation::chooseDataDirectory() {
    QFETCH(QString, executableDir);
    QFETCH(bool, writable);
    QFETCH(bool, installed);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    QCOMPARE(::chooseDataDirectory({.executableDir = executableDir,
                                    .executableDirWritable = writable,
                                    .installedCopy = installed,
                                    .xdgDataHome = xdgDataHome,
                                    .home = home}),
             expected);
}

void TestDataLocation::featuresText_data() {
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");
    const QString beside = u"/home/li/tv/软件特性.txt"_s;
    const QString installed = u"/usr/share/velmora-tv/软件特性.txt"_s;
    QTest::newRow("beside the program") << QStringList{beside} << beside;
    QTest::newRow("only the installed copy") << QStringList{installed} << installed;
    QTest::newRow("both: the program's own wins") << QStringList{beside, installed} << beside;
    QTest::newRow("neither: the viewer is told the expected place") << QStringList{} << beside;
}

void TestDataLocation::featuresText() {
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    const QSet<QString> files(existing.begin(), existing.end());
    QCOMPARE(chooseFeaturesText(u"/home/li/tv"_s, u"/usr/share/velmora-tv"_s,
                                [&](const QString& path) { return files.contains(path); }),
             expected);
}

void TestDataLocation::installedDataFolderSitsBesideBin() {
    QCOMPARE(installedDataDirectory(u"/usr/bin"_s), u"/usr/share/velmora-tv"_s);
    QCOMPARE(installedDataDirectory(u"/opt/velmora tv/bin"_s),
             u"/opt/velmora tv/share/velmora-tv"_s);
}

// The test runs from the build tree, which it may write and which holds no installed tree.
void TestDataLocation::theBuildTreeKeepsItsFilesBesideTheViewer() {
    QCOMPARE(programDataDirectory(), QStringLiteral(VELMORA_BIN_DIR));
    QCOMPARE(programDataDirectory(), QStringLiteral(VELMORA_BIN_DIR));
}

QTEST_GUILESS_MAIN(TestDataLocation)
#include "tst_data_location.moc"
