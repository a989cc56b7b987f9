// The library across real starts of the viewer: a favourite added from the context menu in one
// start is in the menu of the next, after the station's five groups, which stay as they were; a
// programme left part-way resumes where it was, on the station's long clip; a file at its size
// limit, full of fields the viewer does not know, still holds the lists after a change and a
// restart.
#include "Processes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
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

QStringList groupLines(const QStringList& events) {
    QStringList groups;
    for (const QString& event : events) {
        if (event.startsWith(u"group "_s))
            groups << event;
    }
    return groups;
}

const QStringList kStationGroups{u"group 新闻联播 50"_s, u"group 药都时空 50"_s,
                                 u"group 走进农家 20"_s, u"group 谯城报道 48"_s,
                                 u"group 药都论坛 7"_s};

} // namespace

class TestLibraryStarts : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void aFavouriteOutlivesTheStartAndPlaysResume();
    void theListsOutliveAFileAtItsLimit();
};

void TestLibraryStarts::aFavouriteOutlivesTheStartAndPlaysResume() {
    // Every title streams the 40 s clip.
    QTemporaryDir media;
    QVERIFY(QFile::link(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"),
                        media.filePath(u"demo-long.wmv"_s)));
    StationProcess station({u"--media"_s, media.path()});
    QVERIFY(station.started());
    ViewerProcess viewer;
    const QString library = viewer.programDirectory() + u"/library.json"_s;
    const QString trace = viewer.programDirectory() + u"/trace.log"_s;

    viewer.start(station.address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    QCOMPARE(groupLines(viewer.events()), kStationGroups);
    QVERIFY(!QFile::exists(library));
    // The first item of the open first group; the click gives the menu the focus and the row.
    const std::optional<QString> selected = viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000);
    QVERIFY(selected);
    const QString title = selected->mid(9);
    const QString titled = kWindow + u"——"_s + title;
    // The Menu key opens the row's context menu; its first entry is 加入收藏.
    QVERIFY(viewer.pressKeyIn(titled, u"Menu"_s));
    std::optional<QString> saved;
    for (int attempt = 0; attempt < 3 && !saved; ++attempt) {
        QVERIFY(ViewerProcess::typeKeys({u"Down"_s, u"Return"_s}));
        saved = viewer.waitForEvent(u"library favourites=1"_s, 5000);
    }
    QVERIFY2(saved, qPrintable(viewer.events().join(u'\n')));
    QCOMPARE(viewer.endWithKey(titled, u"ctrl+q"_s, 15000), 0);

    QFile file(library);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject stored = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(QJsonDocument(stored.value(u"favourites"_s).toArray()).toJson(QJsonDocument::Compact),
             (uR"([{"category":"新闻联播","title":"%1"}])"_s).arg(title).toUtf8());
    QCOMPARE(stored.value(u"version"_s).toInt(), 1);
    file.close();

    // The second start: the station's groups exactly as before, then the favourite.
    QVERIFY(QFile::remove(trace));
    viewer.start(station.address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    const QStringList groups = groupLines(viewer.events());
    QCOMPARE(groups.mid(0, 5), kStationGroups);
    QCOMPARE(groups.value(5), u"group 我的收藏 1"_s);

    // Played and taken 20 s in with the player's keys, then chosen again: it is left there.
    QVERIFY(viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000));
    QVERIFY(viewer.waitForEvent(u"player-seekable"_s, 20000));
    QVERIFY(viewer.pressKeyIn(titled, u"Right"_s));
    QVERIFY(viewer.pressKeyIn(titled, u"Right"_s));
    // The X server delivers the keys before the click, so the seeks come first.
    QVERIFY(viewer.clickInMainWindow(650, 62));
    const std::optional<QString> kept =
        viewer.waitForEvent(u"library favourites=1 recent=1 positions=1"_s, 15000);
    QVERIFY2(kept, qPrintable(viewer.events().join(u'\n')));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const qint64 keptMs = QJsonDocument::fromJson(file.readAll())
                              .object()
                              .value(u"positions"_s)
                              .toArray()
                              .at(0)
                              .toObject()
                              .value(u"ms"_s)
                              .toInteger();
    file.close();
    QVERIFY2(keptMs > 18'000 && keptMs < 25'000, qPrintable(QString::number(keptMs)));

    // After the countdown it plays from there, saying so.
    const std::optional<QString> resumed = viewer.waitForEvent(u"resumed-at "_s, 20000);
    QVERIFY2(resumed, qPrintable(viewer.events().join(u'\n')));
    const qint64 at = resumed->mid(11).toLongLong();
    QVERIFY2(qAbs(at - keptMs) < 1000, qPrintable(u"%1 vs %2"_s.arg(at).arg(keptMs)));
    qInfo("kept at %lld ms, resumed at %lld ms", keptMs, at);
    QVERIFY(viewer.events().contains(u"player 从 00:%1 继续播放"_s.arg(keptMs / 1000)));
    // Home starts it over, and the position is gone.
    const qsizetype before = viewer.events().size();
    QVERIFY(viewer.pressKeyIn(titled, u"Home"_s));
    const QString forgotten = u"library favourites=1 recent=1 positions=0"_s;
    const QDeadlineTimer deadline(10000);
    while (!viewer.events().mid(before).contains(forgotten) && !deadline.hasExpired())
        QTest::qWait(50);
    QVERIFY2(viewer.events().mid(before).contains(forgotten),
             qPrintable(viewer.events().join(u'\n')));
    QCOMPARE(viewer.endWithKey(titled, u"ctrl+q"_s, 15000), 0);
}

void TestLibraryStarts::theListsOutliveAFileAtItsLimit() {
    StationProcess station;
    QVERIFY(station.started());
    ViewerProcess viewer;
    const QString library = viewer.programDirectory() + u"/library.json"_s;
    const QString trace = viewer.programDirectory() + u"/trace.log"_s;
    // Exactly 1 MiB: a favourite, a field nested 1 000 deep and one that fills the rest.
    const QByteArray deep = QByteArray(1000, '[') + QByteArray(1000, ']');
    QByteArray content = R"({"version":1,"favourites":[{"category":"新闻联播","title":"旧节目"}],)"
                         R"("deep":)" +
                         deep + R"(,"pad":")";
    content += QByteArray((1 << 20) - content.size() - 2, 'x') + "\"}";
    QCOMPARE(content.size(), 1 << 20);
    {
        QFile file(library);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }

    viewer.start(station.address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    QCOMPARE(groupLines(viewer.events()).value(5), u"group 我的收藏 1"_s);
    // A play is a change: the programme goes into the recent list, and the file is written.
    const std::optional<QString> selected = viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000);
    QVERIFY(selected);
    const QString titled = kWindow + u"——"_s + selected->mid(9);
    const std::optional<QString> saved =
        viewer.waitForEvent(u"library favourites=1 recent=1"_s, 20000);
    QVERIFY2(saved, qPrintable(viewer.events().join(u'\n')));
    QCOMPARE(viewer.endWithKey(titled, u"ctrl+q"_s, 15000), 0);

    // Within the limit, the lists and the nested field kept; the filler given up for them.
    QFile file(library);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    QVERIFY2(written.size() <= 1 << 20, qPrintable(QString::number(written.size())));
    const QJsonObject stored = QJsonDocument::fromJson(written).object();
    QCOMPARE(QJsonDocument(stored.value(u"favourites"_s).toArray()).toJson(QJsonDocument::Compact),
             QByteArray(R"([{"category":"新闻联播","title":"旧节目"}])"));
    QCOMPARE(stored.value(u"recent"_s).toArray().size(), 1);
    QCOMPARE(QJsonDocument(stored.value(u"deep"_s).toArray()).toJson(QJsonDocument::Compact), deep);
    QVERIFY(!stored.contains(u"pad"_s));

    // The next start reads it: both groups are there, nothing is set aside.
    QVERIFY(QFile::remove(trace));
    viewer.start(station.address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    const QStringList groups = groupLines(viewer.events());
    QCOMPARE(groups.mid(5), (QStringList{u"group 我的收藏 1"_s, u"group 最近观看 1"_s}));
    QVERIFY(!QFile::exists(library + u".bad"_s));
    QCOMPARE(viewer.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
}

QTEST_GUILESS_MAIN(TestLibraryStarts)
#include "tst_library_starts.moc"
