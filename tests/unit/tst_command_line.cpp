#include "app/CommandLine.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Action = CommandLineAnswer::Action;

class TestCommandLine : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void actions_data();
    void actions();
    void versionText();
    void helpNamesTheOptions();
};

void TestCommandLine::actions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("locations");

    QTest::newRow("nothing") << QStringList{} << Action::Run << QString() << QStringList{};
    QTest::newRow("--help") << QStringList{u"--help"_s} << Action::Help << QString()
                            << QStringList{};
    QTest::newRow("-h") << QStringList{u"-h"_s} << Action::Help << QString() << QStringList{};
    QTest::newRow("--version") << QStringList{u"--version"_s} << Action::Version << QString()
                               << QStringList{};
    QTest::newRow("-v") << QStringList{u"-v"_s} << Action::Version << QString() << QStringList{};
    QTest::newRow("first answer wins") << QStringList{u"--version"_s, u"--help"_s}
                                       << Action::Version << QString() << QStringList{};
    // Session managers restart a program with -session and its name; desktops pass others.
    QTest::newRow("Qt options with values")
        << QStringList{u"-session"_s, u"1234_5"_s, u"-platform"_s,         u"xcb"_s,
                       u"--style"_s,  u"fusion"_s, u"-qwindowtitle=电视"_s}
        << Action::Run << QString() << QStringList{};
    QTest::newRow("Qt flags") << QStringList{u"-reverse"_s, u"--nograb"_s} << Action::Run
                              << QString() << QStringList{};
    QTest::newRow("a Qt option's value is not an option")
        << QStringList{u"-display"_s, u"--bogus"_s} << Action::Run << QString() << QStringList{};
    QTest::newRow("help after Qt options")
        << QStringList{u"-platform"_s, u"offscreen"_s, u"--help"_s} << Action::Help << QString()
        << QStringList{};
    QTest::newRow("unknown long option")
        << QStringList{u"--fullscreen"_s} << Action::Error
        << u"velmora-tv: unknown option '--fullscreen' (see velmora-tv --help)"_s << QStringList{};
    QTest::newRow("unknown short option")
        << QStringList{u"-x"_s} << Action::Error
        << u"velmora-tv: unknown option '-x' (see velmora-tv --help)"_s << QStringList{};
    QTest::newRow("near miss") << QStringList{u"--helpme"_s} << Action::Error
                               << u"velmora-tv: unknown option '--helpme' (see velmora-tv --help)"_s
                               << QStringList{};
    QTest::newRow("flag with a value")
        << QStringList{u"-reverse=1"_s} << Action::Error
        << u"velmora-tv: unknown option '-reverse=1' (see velmora-tv --help)"_s << QStringList{};
    QTest::newRow("mistake before help")
        << QStringList{u"--bogus"_s, u"--help"_s} << Action::Error
        << u"velmora-tv: unknown option '--bogus' (see velmora-tv --help)"_s << QStringList{};
    // Files and addresses, in order, among Qt's options; a mistake after them is still one.
    QTest::newRow("a file name") << QStringList{u"新闻.wmv"_s} << Action::Run << QString()
                                 << QStringList{u"新闻.wmv"_s};
    QTest::newRow("files among Qt options")
        << QStringList{u"-style"_s, u"fusion"_s, u"a.wmv"_s, u"-reverse"_s, u"mms://host/b.wmv"_s}
        << Action::Run << QString() << QStringList{u"a.wmv"_s, u"mms://host/b.wmv"_s};
    QTest::newRow("help after a file")
        << QStringList{u"a.wmv"_s, u"--help"_s} << Action::Help << QString() << QStringList{};
    QTest::newRow("unknown option after a file")
        << QStringList{u"a.wmv"_s, u"--bogus"_s} << Action::Error
        << u"velmora-tv: unknown option '--bogus' (see velmora-tv --help)"_s << QStringList{};
    QTest::newRow("after --, names that look like options")
        << QStringList{u"--"_s, u"-a.wmv"_s, u"--help"_s, u"-"_s} << Action::Run << QString()
        << QStringList{u"-a.wmv"_s, u"--help"_s, u"-"_s};
    QTest::newRow("an empty argument")
        << QStringList{u"a.wmv"_s, QString()} << Action::Error
        << u"velmora-tv: unexpected argument '' (see velmora-tv --help)"_s << QStringList{};
    QTest::newRow("a lone dash") << QStringList{u"-"_s} << Action::Error
                                 << u"velmora-tv: unexpected argument '-' (see velmora-tv --help)"_s
                                 << QStringList{};
}

void TestCommandLine::actions() {
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, error);
    QFETCH(QStringList, locations);
    const CommandLineAnswer answer = parseCommandLine(arguments);
    QCOMPARE(answer.action, action);
    if (action == Action::Error)
        QCOMPARE(answer.text, error);
    QCOMPARE(answer.locations, locations);
}

void TestCommandLine::versionText() {
    QCOMPARE(parseCommandLine({u"--version"_s}).text, u"velmora-tv 2.1.0\n"_s);
}

void TestCommandLine::helpNamesTheOptions() {
    const QString help = parseCommandLine({u"--help"_s}).text;
    QVERIFY(help.startsWith(u"Usage: velmora-tv [OPTION]... [FILE|URL]...\n"_s));
    QVERIFY(help.contains(u"\n  -h, --help "_s));
    QVERIFY(help.contains(u"\n  -v, --version "_s));
    QVERIFY(help.endsWith(u'\n'));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
