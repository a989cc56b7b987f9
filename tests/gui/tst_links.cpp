#include "playback/PlaybackController.h"
#include "settings/Links.h"
#include "ui/MainWindow.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Holds a fake xdg-open that records each call's arguments in a file of its own.
std::optional<QTemporaryDir>& fakeDesktop() {
    static std::optional<QTemporaryDir> dir;
    return dir;
}

const QString kSubject = u"意见建议"_s;
const QString kBody = u"-----在下面写出你对本软件的建议（Velmora网络电视V1.0）"_s;

QStringList recordedCalls() {
    QStringList calls;
    const QDir dir(fakeDesktop()->path());
    for (const QString& name : dir.entryList({u"call.*"_s}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            calls << QString::fromUtf8(file.readAll());
    }
    return calls;
}

} // namespace

class TestLinks : public QObject {
    Q_OBJECT

  public:
    // Before the application exists: the desktop integration picks its launcher once.
    static void initMain() {
        auto& dir = fakeDesktop();
        dir.emplace();
        const QString script = dir->filePath(u"xdg-open"_s);
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the fake xdg-open");
        // One file per call: the argument count, then each argument on its own line.
        file.write("#!/bin/sh\n"
                   "d=$(dirname \"$0\")\n"
                   "t=$(mktemp \"$d/tmp.XXXXXX\")\n"
                   "{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; } > \"$t\"\n"
                   "mv \"$t\" \"$d/call.${t##*.}\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir->path()) + ':' + qgetenv("PATH"));
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID", "BROWSER", "DEFAULT_BROWSER"})
            qunsetenv(name);
    }

  private Q_SLOTS:
    void eachItemReachesTheDesktopWhole();
};

// Through the real desktop hand-off: xdg-open receives each link as one argument, the features
// path with its spaces included, once per choice, and no call waits for it.
void TestLinks::eachItemReachesTheDesktopWhole() {
    QTemporaryDir dir;
    const QString programDirectory = dir.filePath(u"My Programs/velmora tv"_s);
    PlaybackController playback;
    MainWindow window({}, playback);
    window.setProgramFiles(programDirectory, programDirectory + u"/软件特性.txt"_s);

    for (int round = 0; round < 2; ++round) {
        for (const char* item : {"软件帮助", "提出意见(C)", "检查更新(&O)", "软件特性"})
            window.menuAction(QString::fromUtf8(item))->trigger();
    }
    QTRY_COMPARE_WITH_TIMEOUT(recordedCalls().size(), 8, 10000);

    QMap<QString, int> arguments;
    for (const QString& call : recordedCalls()) {
        const QStringList lines = call.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], u"1"_s);
        ++arguments[lines[1]];
    }
    QCOMPARE(arguments.size(), 4);
    QCOMPARE(arguments.value(QStringLiteral(VELMORA_HELP_URL)), 2);
    QCOMPARE(arguments.value(QStringLiteral("http://" VELMORA_UPDATE_HOST "/soft/63669.html")), 2);

    const auto features = std::find_if(arguments.keyBegin(), arguments.keyEnd(),
                                       [](const QString& a) { return a.startsWith(u"file:"_s); });
    QVERIFY(features != arguments.keyEnd());
    QCOMPARE(QUrl::fromEncoded(features->toUtf8()).toLocalFile(),
             programDirectory + u"/软件特性.txt"_s);
    QCOMPARE(arguments.value(*features), 2);

    // The mail: subject and body as UTF-8 percent-encoding of the fixed texts.
    const auto mail = std::find_if(arguments.keyBegin(), arguments.keyEnd(),
                                   [](const QString& a) { return a.startsWith(u"mailto:"_s); });
    QVERIFY(mail != arguments.keyEnd());
    QVERIFY(
        mail->startsWith(u"mailto:" VELMORA_FEEDBACK_ADDRESS
                         "?Subject=%E6%84%8F%E8%A7%81%E5%BB%BA%E8%AE%AE&Body=-----%E5%9C%A8"_s));
    const QUrlQuery query(QUrl::fromEncoded(mail->toLatin1()));
    QCOMPARE(query.queryItems(QUrl::FullyDecoded),
             (QList<std::pair<QString, QString>>{{u"Subject"_s, kSubject}, {u"Body"_s, kBody}}));
}

QTEST_MAIN(TestLinks)
#include "tst_links.moc"
