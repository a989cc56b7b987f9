// Opening from outside, and one viewer per data folder, with the real binary: a file or address
// on the command line plays once the catalogue is in; a second start hands its file to the
// viewer already running and ends without touching the folder; two starts at once leave one
// viewer and whole files; a viewer that was killed does not keep the next start out, and a
// holder that never answers makes the start fail rather than pass for handed over.
#include "Processes.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString kWindow = u"Velmora网络电视"_s;
const QString kMedia = QStringLiteral(VELMORA_TEST_MEDIA_DIR);
const QStringList kStationGroups{u"group 新闻联播 50"_s, u"group 药都时空 50"_s,
                                 u"group 走进农家 20"_s, u"group 谯城报道 48"_s,
                                 u"group 药都论坛 7"_s};
const QStringList kListFiles{u"xzwj/qcbd.txt"_s, u"xzwj/xwlb.txt"_s, u"xzwj/ydlt.txt"_s,
                             u"xzwj/ydsk.txt"_s, u"xzwj/zjnj.txt"_s};

QStringList groupLines(const QStringList& events) {
    return events.filter(QRegularExpression(u"^group "_s));
}

// Every file under `folder` by its relative path, with its bytes and modification time (ns).
QMap<QString, QPair<QByteArray, qint64>> filesUnder(const QString& folder) {
    QMap<QString, QPair<QByteArray, qint64>> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        ::stat(QFile::encodeName(path).constData(), &info);
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(
            QDir(folder).relativeFilePath(path),
            {file.readAll(), qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec});
    }
    return files;
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

// Polls until one of the two has ended; that one, or nullptr at the deadline.
ViewerProcess* firstToEnd(ViewerProcess& a, ViewerProcess& b, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        for (ViewerProcess* viewer : {&a, &b}) {
            if (viewer->process().state() == QProcess::NotRunning)
                return viewer;
        }
        QTest::qWait(20);
    }
    return nullptr;
}

} // namespace

class TestOpenWith : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void aFileOnTheCommandLinePlaysAfterReady_data();
    void aFileOnTheCommandLinePlaysAfterReady();
    void aSecondStartHandsItsFileToTheFirst();
    void twoStartsAtOnceLoseNothing();
    void aKilledViewerDoesNotKeepTheNextOut();
    void aHolderThatDoesNotAnswerIsAFailure();
};

void TestOpenWith::aFileOnTheCommandLinePlaysAfterReady_data() {
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QStringList>("arguments");
    // "@" stands for the folder of the file to escape, or the station's address.
    QTest::addColumn<QString>("opened");  // as the trace names it
    QTest::addColumn<QString>("warning"); // on standard error; empty: nothing about the arguments
    QTest::newRow("relative path, the second ignored")
        << kMedia << QStringList{u"sample.wav"_s, u"sample.mp3"_s} << kMedia + u"/sample.wav"_s
        << u"velmora-tv: plays only the first of 2 files; ignored: sample.mp3"_s;
    QTest::newRow("file address of a name to escape")
        << QString() << QStringList{u"file://@/%E8%8A%82%E7%9B%AE%20%E4%B8%80.wav"_s}
        << u"@/节目 一.wav"_s << QString();
    QTest::newRow("mms address") << QString() << QStringList{u"mms://@/sp/%E5%A4%96%E6%9D%A5.wmv"_s}
                                 << u"mms://@/sp/%E5%A4%96%E6%9D%A5.wmv"_s << QString();
}

void TestOpenWith::aFileOnTheCommandLinePlaysAfterReady() {
    QFETCH(QString, workingDirectory);
    QFETCH(QStringList, arguments);
    QFETCH(QString, opened);
    QFETCH(QString, warning);
    StationProcess station;
    QVERIFY(station.started());
    // A file whose name needs escaping in an address, for the file:// row.
    QTemporaryDir files;
    QVERIFY(QFile::copy(kMedia + u"/sample.wav"_s, files.filePath(u"节目 一.wav"_s)));
    const QString place =
        QTest::currentDataTag() == QByteArray("mms address") ? station.address() : files.path();
    for (QString& argument : arguments)
        argument.replace(u'@', place);
    opened.replace(u'@', place);

    QTemporaryDir logs;
    ViewerProcess viewer(ViewerProcess::Layout::Installed);
    viewer.setStandardErrorFile(logs.filePath(u"stderr.log"_s));
    if (!workingDirectory.isEmpty())
        viewer.setWorkingDirectory(workingDirectory);
    viewer.start(station.address(), {}, arguments);
    QVERIFY2(viewer.waitForEvent(u"player 正在播放"_s, 60000),
             qPrintable(viewer.events().join(u'\n')));

    // The start as a plain one, then the file.
    const QStringList events = viewer.events();
    QCOMPARE(groupLines(events), kStationGroups);
    QVERIFY(events.contains(u"loading-shown"_s));
    const auto ready = std::find_if(events.begin(), events.end(), [](const QString& event) {
        return event.startsWith(u"ready "_s);
    });
    QVERIFY(ready != events.end());
    QCOMPARE(events.filter(QRegularExpression(u"^open "_s)), QStringList{u"open "_s + opened});
    QVERIFY2(std::find(ready, events.end(), u"open "_s + opened) != events.end(),
             qPrintable(events.join(u'\n')));
    if (opened.startsWith(u"mms://"_s))
        QVERIFY(station.waitForLog(u"play 外来"_s, 10000));

    // The folder holds what a plain start leaves: the lock goes with the viewer.
    const QString dir = viewer.programDirectory();
    QCOMPARE(entriesOf(dir), (QStringList{u"spsj.txt"_s, u"velmora-tv.lock"_s, u"xzwj"_s}));
    QCOMPARE(viewer.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
    QCOMPARE(entriesOf(dir), (QStringList{u"settings.json"_s, u"spsj.txt"_s, u"xzwj"_s}));
    for (const QString& list : kListFiles)
        QVERIFY2(QFileInfo(dir + u'/' + list).size() > 1000, qPrintable(list));

    QFile errors(logs.filePath(u"stderr.log"_s));
    QVERIFY(errors.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(errors.readAll());
    if (warning.isEmpty())
        QVERIFY2(!written.contains(u"velmora-tv:"_s), qPrintable(written));
    else
        QVERIFY2(written.contains(warning + u'\n'), qPrintable(written));
}

void TestOpenWith::aSecondStartHandsItsFileToTheFirst() {
    StationProcess station;
    QVERIFY(station.started());
    ViewerProcess first(ViewerProcess::Layout::Installed);
    first.start(station.address());
    QVERIFY(first.waitForEvent(u"ready"_s, 60000));
    const QString dir = first.programDirectory();
    const auto before = filesUnder(dir);
    QCOMPARE(before.size(), 7); // the lock, spsj.txt and the five list files

    // Relative, from the second start's own working directory.
    ViewerProcess second(first, u"second.log"_s);
    second.setWorkingDirectory(kMedia);
    QElapsedTimer clock;
    clock.start();
    second.start(station.address(), {}, {u"sample.wav"_s});
    QCOMPARE(second.waitForExit(30000), 0);
    qInfo("the second start handed its file over and ended in %lld ms", clock.elapsed());
    QVERIFY2(first.waitForEvent(u"open "_s + kMedia + u"/sample.wav"_s, 15000),
             qPrintable(first.events().join(u'\n')));
    QVERIFY(first.waitForEvent(u"player 正在播放"_s, 30000));
    // It never got as far as a window, and wrote nothing.
    const QStringList events = second.events();
    QCOMPARE(events, (QStringList{u"process-started"_s, u"handed-over"_s}));
    QCOMPARE(filesUnder(dir), before);

    // A plain second start only brings the first to the front.
    ViewerProcess third(first, u"third.log"_s);
    third.start(station.address());
    QCOMPARE(third.waitForExit(30000), 0);
    QVERIFY(first.waitForEvent(u"handed-in 0"_s, 15000));
    QCOMPARE(first.events().filter(QRegularExpression(u"^open "_s)).size(), 1);
    QCOMPARE(filesUnder(dir), before);
    QCOMPARE(first.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
}

void TestOpenWith::twoStartsAtOnceLoseNothing() {
    StationProcess station;
    QVERIFY(station.started());
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        ViewerProcess a(ViewerProcess::Layout::Installed);
        ViewerProcess b(a, u"b.log"_s);
        a.start(station.address());
        b.start(station.address());
        ViewerProcess* loser = firstToEnd(a, b, 60000);
        QVERIFY(loser);
        ViewerProcess& viewer = loser == &a ? b : a;
        QCOMPARE(loser->process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(loser->process().exitCode(), 0);
        QCOMPARE(loser->events().value(1), u"handed-over"_s);
        QVERIFY2(viewer.waitForEvent(u"ready"_s, 60000), qPrintable(viewer.events().join(u'\n')));
        QCOMPARE(groupLines(viewer.events()), kStationGroups);

        // A favourite through the one viewer: the first item's context menu, 加入收藏.
        const std::optional<QString> selected =
            viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000);
        QVERIFY(selected);
        const QString titled = kWindow + u"——"_s + selected->mid(9);
        QVERIFY(viewer.pressKeyIn(titled, u"Menu"_s));
        std::optional<QString> saved;
        for (int attempt = 0; attempt < 3 && !saved; ++attempt) {
            QVERIFY(ViewerProcess::typeKeys({u"Down"_s, u"Return"_s}));
            saved = viewer.waitForEvent(u"library favourites=1"_s, 5000);
        }
        QVERIFY2(saved, qPrintable(viewer.events().join(u'\n')));
        QCOMPARE(viewer.endWithKey(titled, u"ctrl+q"_s, 15000), 0);

        const QString dir = viewer.programDirectory();
        QFile library(dir + u"/library.json"_s);
        QVERIFY(library.open(QIODevice::ReadOnly));
        const QJsonArray favourites =
            QJsonDocument::fromJson(library.readAll()).object().value(u"favourites"_s).toArray();
        QCOMPARE(favourites.size(), 1);
        QCOMPARE(favourites.at(0).toObject().value(u"title"_s).toString(), selected->mid(9));
        for (const QString& list : kListFiles)
            QVERIFY2(QFileInfo(dir + u'/' + list).size() > 1000, qPrintable(list));
        QCOMPARE(QFileInfo(dir + u"/spsj.txt"_s).size() > 1000, true);
        QCOMPARE(entriesOf(dir),
                 (QStringList{u"library.json"_s, u"settings.json"_s, u"spsj.txt"_s, u"xzwj"_s}));
        qInfo("round %d: %s kept the folder", round + 1, loser == &a ? "the second" : "the first");
    }
}

void TestOpenWith::aKilledViewerDoesNotKeepTheNextOut() {
    StationProcess station;
    QVERIFY(station.started());
    ViewerProcess viewer(ViewerProcess::Layout::Installed);
    viewer.start(station.address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    viewer.kill();
    const QString lock = viewer.programDirectory() + u"/velmora-tv.lock"_s;
    QVERIFY(QFile::exists(lock)); // left behind: nothing removed it

    ViewerProcess next(viewer, u"next.log"_s);
    next.start(station.address());
    QVERIFY2(next.waitForEvent(u"ready"_s, 60000), qPrintable(next.events().join(u'\n')));
    QVERIFY(!next.events().contains(u"handed-over"_s));
    QCOMPARE(next.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
    QVERIFY(!QFile::exists(lock));
}

// Whatever holds the lock without taking the file (a hung viewer, another program), the start
// must not end as though the file had been handed over, nor write beside it.
void TestOpenWith::aHolderThatDoesNotAnswerIsAFailure() {
    ViewerProcess viewer(ViewerProcess::Layout::Installed);
    const QString dir = viewer.programDirectory();
    QVERIFY(QDir().mkpath(dir));
    QProcess holder;
    holder.start(u"flock"_s, {dir + u"/velmora-tv.lock"_s, u"-c"_s, u"echo held; sleep 60"_s});
    QVERIFY(holder.waitForReadyRead(10000));
    QTemporaryDir logs;
    viewer.setStandardErrorFile(logs.filePath(u"stderr.log"_s));
    QElapsedTimer clock;
    clock.start();
    viewer.start(u"127.0.0.1:9"_s, {}, {kMedia + u"/sample.wav"_s});
    QCOMPARE(viewer.waitForExit(30000), 1);
    qInfo("ended after %lld ms", clock.elapsed());
    QCOMPARE(viewer.events(), (QStringList{u"process-started"_s, u"no-answer"_s}));
    QFile errors(logs.filePath(u"stderr.log"_s));
    QVERIFY(errors.open(QIODevice::ReadOnly));
    QVERIFY(errors.readAll().contains(
        (u"velmora-tv: the viewer already running on "_s + dir + u" does not answer"_s).toUtf8()));
    QCOMPARE(entriesOf(dir), QStringList{u"velmora-tv.lock"_s});
    holder.kill();
    holder.waitForFinished();
}

QTEST_GUILESS_MAIN(TestOpenWith)
#include "tst_open_with.moc"
