#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <string>

using namespace std::string_literals;
using namespace Qt::StringLiterals;

namespace {

constexpr const char* kAbsent = "<absent>";

std::string bytes(const QByteArray& data) {
    return std::string(data.constData(), data.size());
}

QByteArray shown(const std::optional<std::string>& value) {
    return value ? QByteArray::fromStdString(*value) : QByteArray(kAbsent);
}

} // namespace

class TestIni : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void reads_data();
    void reads();
    void writesOneLine_data();
    void writesOneLine();
    void refusesWhatCannotStandOnOneLine();
    void files();
};

void TestIni::reads_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray shou("shou");
    QTest::newRow("crlf") << QByteArray("[shou]\r\ngengxing=1\r\n") << shou << QByteArray("1");
    QTest::newRow("lf") << QByteArray("[shou]\ngengxing=0\n") << shou << QByteArray("0");
    QTest::newRow("lone cr") << QByteArray("[shou]\rgengxing=1\r") << shou << QByteArray("1");
    QTest::newRow("no final line ending") << QByteArray("[shou]\ngengxing=1") << shou << "1"_ba;
    QTest::newRow("names without case") << "[SHOU]\nGengXing=1"_ba << shou << "1"_ba;
    QTest::newRow("blanks trimmed")
        << QByteArray("  [shou]  \r\n \t gengxing \t=  1 \x1a\r\n") << shou << "1"_ba;
    QTest::newRow("double quotes dropped") << "[shou]\ngengxing=\"1\""_ba << shou << "1"_ba;
    QTest::newRow("single quotes dropped") << "[shou]\ngengxing='0'"_ba << shou << "0"_ba;
    QTest::newRow("unpaired quote kept") << "[shou]\ngengxing=\"1"_ba << shou << "\"1"_ba;
    QTest::newRow("empty value") << "[shou]\ngengxing=\n"_ba << shou << ""_ba;
    QTest::newRow("value holding '='") << "[shou]\ngengxing==1"_ba << shou << "=1"_ba;
    QTest::newRow("missing key") << "[shou]\nother=1\n"_ba << shou << QByteArray(kAbsent);
    QTest::newRow("key without '='") << "[shou]\ngengxing\n"_ba << shou << QByteArray(kAbsent);
    QTest::newRow("missing section") << "[other]\ngengxing=1\n"_ba << shou << QByteArray(kAbsent);
    QTest::newRow("key before any section")
        << "gengxing=1\n[shou]\n"_ba << shou << QByteArray(kAbsent);
    QTest::newRow("key of the next section")
        << "[shou]\n[x]\ngengxing=1"_ba << shou << QByteArray(kAbsent);
    QTest::newRow("first section counts")
        << "[shou]\na=1\n[shou]\ngengxing=1\n"_ba << shou << QByteArray(kAbsent);
    QTest::newRow("first key counts") << "[shou]\ngengxing=0\ngengxing=1\n"_ba << shou << "0"_ba;
    QTest::newRow("comment is no key") << "[shou]\n;gengxing=1\n"_ba << shou << QByteArray(kAbsent);
    QTest::newRow("text after header") << "[shou] ; note\ngengxing=1"_ba << shou << "1"_ba;
    QTest::newRow("utf-8 mark skipped") << "\xEF\xBB\xBF[shou]\r\ngengxing=1"_ba << shou << "1"_ba;
    QTest::newRow("nul kept in value")
        << QByteArray("[shou]\ngengxing=1\0x\n", 19) << shou << QByteArray("1\0x", 3);
    // 0xB0 0x41 and 0xB0 0x61 are two different GBK characters, not one in two cases.
    QTest::newRow("gbk trail byte not folded") << "[\xB0\x61]\ngengxing=1"_ba
                                               << "\xB0\x41"_ba << QByteArray(kAbsent);
    QTest::newRow("gbk section") << "[\xB0\x41]\ngengxing=1"_ba
                                 << "\xB0\x41"_ba
                                 << "1"_ba;
}

void TestIni::reads() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, expected);
    QCOMPARE(shown(iniValue(bytes(content), bytes(section), "gengxing")), expected);
}

void TestIni::writesOneLine_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << ""_ba
                              << "[shou]\r\ngengxing=1\r\n"_ba;
    QTest::newRow("value replaced, everything else kept")
        << "; settings\r\n[other]\r\nA = b\r\n\r\n[shou]\r\n  GengXing = 0  \r\nx=y\r\n\r\n[tail]\r\nz"_ba
        << "; settings\r\n[other]\r\nA = b\r\n\r\n[shou]\r\n  GengXing = 1\r\nx=y\r\n\r\n[tail]\r\nz"_ba;
    QTest::newRow("lf kept") << "[shou]\ngengxing=0\n"_ba
                             << "[shou]\ngengxing=1\n"_ba;
    QTest::newRow("quoted value") << "[shou]\ngengxing=\"0\"\n"_ba
                                  << "[shou]\ngengxing=1\n"_ba;
    QTest::newRow("empty value") << "[shou]\r\ngengxing=\r\n"_ba
                                 << "[shou]\r\ngengxing=1\r\n"_ba;
    QTest::newRow("key after the section's last key")
        << "[shou]\na=1\n; c\n\n[next]\nb=2\n"_ba
        << "[shou]\na=1\ngengxing=1\n; c\n\n[next]\nb=2\n"_ba;
    QTest::newRow("key into an empty last section") << "[x]\n[SHOU]"_ba
                                                    << "[x]\n[SHOU]\ngengxing=1\n"_ba;
    QTest::newRow("section after an unended line") << "[a]\nb=1"_ba
                                                   << "[a]\nb=1\n\n[shou]\ngengxing=1\n"_ba;
    QTest::newRow("section after a blank line") << "[a]\r\nb=1\r\n\r\n"_ba
                                                << "[a]\r\nb=1\r\n\r\n[shou]\r\ngengxing=1\r\n"_ba;
    QTest::newRow("utf-8 mark kept") << "\xEF\xBB\xBF; x\n"_ba
                                     << "\xEF\xBB\xBF; x\n\n[shou]\ngengxing=1\n"_ba;
}

void TestIni::writesOneLine() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const std::optional<std::string> written = withIniValue(bytes(before), "shou", "gengxing", "1");
    QCOMPARE(shown(written), after);
    QCOMPARE(shown(iniValue(*written, "shou", "gengxing")), "1"_ba);
}

void TestIni::refusesWhatCannotStandOnOneLine() {
    const std::string content = "[shou]\ngengxing=0\n";
    QVERIFY(!withIniValue(content, "shou", "gengxing", "1\n[x]"));
    QVERIFY(!withIniValue(content, "sh\rou", "gengxing", "1"));
    QVERIFY(!withIniValue(content, "", "gengxing", "1"));
    QVERIFY(!withIniValue(content, "shou", "", "1"));
    QVERIFY(!withIniValue(content, "shou", "a=b", "1"));
    QVERIFY(!withIniValue(content, "shou", " gengxing", "1"));
    QVERIFY(!withIniValue(content, "shou", "[x]", "1"));
}

void TestIni::files() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("index.ini"));

    QCOMPARE(readIniValue(path, "shou", "gengxing", "none"), "none"s);
    QVERIFY(writeIniValue(path, "shou", "gengxing", "1"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "[shou]\r\ngengxing=1\r\n"_ba);
    QCOMPARE(readIniValue(path, "shou", "gengxing"), "1"s);

    // A settings file that cannot be read is left alone, not replaced by one holding one value.
    const QString unreadable = dir.filePath(QStringLiteral("unreadable.ini"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("unreadable.ini")));
    QVERIFY(!writeIniValue(unreadable, "shou", "gengxing", "1"));
    QVERIFY(QFileInfo(unreadable).isDir());

    QVERIFY(
        !writeIniValue(dir.filePath(QStringLiteral("missing/index.ini")), "shou", "gengxing", "1"));
}

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
