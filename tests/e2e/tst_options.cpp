#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The real viewer with no display of any kind: were it to open a window, Qt would abort.
Outcome runViewer(const QStringList& arguments) {
    QProcess viewer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    viewer.setProcessEnvironment(env);
    viewer.start(QStringLiteral(VELMORA_BIN_DIR "/velmora-tv"), arguments);
    Outcome outcome;
    if (!viewer.waitForFinished(20000)) {
        viewer.kill();
        viewer.waitForFinished();
        return outcome;
    }
    outcome.exitCode = viewer.exitStatus() == QProcess::NormalExit ? viewer.exitCode() : -1;
    outcome.out = viewer.readAllStandardOutput();
    outcome.err = viewer.readAllStandardError();
    return outcome;
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void helpAnswersWithoutAWindow();
    void versionAnswersWithoutAWindow();
    void mistakesEndWithCodeTwo_data();
    void mistakesEndWithCodeTwo();
};

void TestOptions::helpAnswersWithoutAWindow() {
    for (const QString& option : {u"--help"_s, u"-h"_s}) {
        const Outcome outcome = runViewer({option});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY2(outcome.out.startsWith("Usage: velmora-tv [OPTION]... [FILE|URL]...\n"),
                 outcome.out);
        QVERIFY(outcome.out.contains("  -v, --version  show the version and exit\n"));
        QVERIFY(outcome.out.contains("Only the first plays; the others are ignored"));
        QCOMPARE(outcome.err, QByteArray());
    }
}

void TestOptions::versionAnswersWithoutAWindow() {
    for (const QString& option : {u"--version"_s, u"-v"_s}) {
        const Outcome outcome = runViewer({option});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QByteArray("velmora-tv 2.1.0\n"));
        QCOMPARE(outcome.err, QByteArray());
    }
}

void TestOptions::mistakesEndWithCodeTwo_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown option")
        << QStringList{u"--bogus"_s}
        << QByteArray("velmora-tv: unknown option '--bogus' (see velmora-tv --help)\n");
    // A file does not hide a mistake after it.
    QTest::newRow("unknown option after a file")
        << QStringList{u"节目.wmv"_s, u"-bogus"_s}
        << QByteArray("velmora-tv: unknown option '-bogus' (see velmora-tv --help)\n");
    QTest::newRow("empty argument")
        << QStringList{QString()}
        << QByteArray("velmora-tv: unexpected argument '' (see velmora-tv --help)\n");
    QTest::newRow("standard input")
        << QStringList{u"-"_s}
        << QByteArray("velmora-tv: unexpected argument '-' (see velmora-tv --help)\n");
}

void TestOptions::mistakesEndWithCodeTwo() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const Outcome outcome = runViewer(arguments);
    QCOMPARE(outcome.exitCode, 2);
    QCOMPARE(outcome.err, message);
    QCOMPARE(outcome.out, QByteArray());
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
