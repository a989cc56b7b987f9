// A kept programme across real starts of the viewer: 下载 from the context menu with the keyboard
// puts the station's clip in the user's videos folder byte for byte; the next start checks the
// list against the disk and shows 已下载 after the other groups; chosen there, the programme
// plays from its file at once, where it was left.
#include "Processes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kWindow = u"Velmora网络电视"_s;
const QString kClip = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv");

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace

class TestDownloadStarts : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void aKeptProgrammeOutlivesTheStartAndPlaysFromItsFile();
};

void TestDownloadStarts::aKeptProgrammeOutlivesTheStartAndPlaysFromItsFile() {
    QTemporaryDir media;
    QVERIFY(QFile::link(kClip, media.filePath(u"demo-long.wmv"_s)));
    StationProcess station({u"--media"_s, media.path()});
    QVERIFY(station.started());
    // The user's folders as the desktop names them: the videos folder is one of the user's own.
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath(u"config"_s));
    QVERIFY(writeFile(home.filePath(u"config/user-dirs.dirs"_s),
                      "XDG_VIDEOS_DIR=\"" + home.filePath(u"我的视频"_s).toUtf8() + "\"\n"));
    const QStringList environment{u"XDG_CONFIG_HOME="_s + home.filePath(u"config"_s)};
    ViewerProcess viewer;
    const QString library = viewer.programDirectory() + u"/library.json"_s;

    viewer.start(station.address(), environment);
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    const std::optional<QString> selected = viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000);
    QVERIFY(selected);
    const QString title = selected->mid(9);
    const QString titled = kWindow + u"——"_s + title;
    // The Menu key opens the row's context menu: 加入收藏, 从头播放, 下载.
    QVERIFY(viewer.pressKeyIn(titled, u"Menu"_s));
    std::optional<QString> queued;
    for (int attempt = 0; attempt < 3 && !queued; ++attempt) {
        QVERIFY(ViewerProcess::typeKeys({u"Down"_s, u"Down"_s, u"Down"_s, u"Return"_s}));
        queued = viewer.waitForEvent(u"download-queued "_s, 5000);
    }
    QVERIFY2(queued, qPrintable(viewer.events().join(u'\n')));
    QCOMPARE(*queued, u"download-queued 新闻联播/"_s + title);
    const std::optional<QString> done = viewer.waitForEvent(u"download-done "_s, 60000);
    QVERIFY2(done, qPrintable(viewer.events().join(u'\n')));
    QCOMPARE(*done, u"download-done 新闻联播/%1 bytes=6708009"_s.arg(title));

    // The clip's header and data objects, which are all a stream carries (its index is not).
    const QString kept = home.filePath(u"我的视频/Velmora网络电视/新闻联播/"_s + title + u".wmv"_s);
    const QByteArray keptBytes = readFile(kept);
    const QByteArray clip = readFile(kClip);
    QCOMPARE(keptBytes.size(), 6'708'009);
    QCOMPARE(clip.size(), 6'708'335);
    QVERIFY(keptBytes == clip.left(keptBytes.size()));
    qInfo("kept %lld bytes, equal to the clip's first %lld of %lld", qint64(keptBytes.size()),
          qint64(keptBytes.size()), qint64(clip.size()));
    // The click chose the programme too: it plays after the countdown, and is recent.
    QVERIFY(viewer.waitForEvent(u"library favourites=0 recent=1"_s, 30000));
    QCOMPARE(viewer.endWithKey(titled, u"ctrl+q"_s, 15000), 0);

    // The list is in the library file. Left 20 s in, and with an entry whose file the user
    // deleted meanwhile.
    QJsonObject stored = QJsonDocument::fromJson(readFile(library)).object();
    QJsonArray downloads = stored.value(u"downloads"_s).toArray();
    QCOMPARE(
        QJsonDocument(downloads).toJson(QJsonDocument::Compact),
        uR"([{"category":"新闻联播","length":6708009,"state":"done","title":"%1"}])"_s.arg(title)
            .toUtf8());
    downloads.append(QJsonObject{
        {u"category"_s, u"新闻联播"_s}, {u"title"_s, u"删掉了的节目"_s}, {u"state"_s, u"done"_s}});
    stored.insert(u"downloads"_s, downloads);
    stored.insert(u"positions"_s,
                  QJsonArray{QJsonObject{
                      {u"category"_s, u"新闻联播"_s}, {u"title"_s, title}, {u"ms"_s, 20000}}});
    QVERIFY(writeFile(library, QJsonDocument(stored).toJson()));

    // The next start: the gone entry leaves, the kept programme shows after the other groups.
    QVERIFY(QFile::remove(viewer.programDirectory() + u"/trace.log"_s));
    viewer.start(station.address(), environment);
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    QStringList groups;
    for (const QString& event : viewer.events()) {
        if (event.startsWith(u"group "_s))
            groups << event;
    }
    QCOMPARE(groups.mid(5), (QStringList{u"group 最近观看 1"_s, u"group 已下载 1"_s}));
    QVERIFY(viewer.events().contains(u"download-gone 新闻联播/删掉了的节目"_s));

    // Chosen in 已下载 with the keyboard: the last header, its first item. It plays its file at
    // once, from where it was left.
    QVERIFY(viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000));
    const qsizetype before = viewer.events().size();
    QVERIFY(viewer.pressKeyIn(titled, u"End"_s));
    QVERIFY(viewer.pressKeyIn(titled, u"Return"_s));
    QVERIFY(viewer.pressKeyIn(titled, u"Down"_s));
    QVERIFY(viewer.pressKeyIn(titled, u"Return"_s));
    const std::optional<QString> resumed = viewer.waitForEvent(u"resumed-at "_s, 20000);
    QVERIFY2(resumed, qPrintable(viewer.events().join(u'\n')));
    const QStringList after = viewer.events().mid(before);
    QVERIFY2(after.contains(u"play "_s + kept), qPrintable(after.join(u'\n')));
    QVERIFY(qAbs(resumed->mid(11).toLongLong() - 20000) < 1000);
    QCOMPARE(viewer.endWithKey(titled, u"ctrl+q"_s, 15000), 0);
}

QTEST_GUILESS_MAIN(TestDownloadStarts)
#include "tst_download_starts.moc"
