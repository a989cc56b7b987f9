// The library across real starts of the viewer: a favourite added from the context menu in one
// start is in the menu of the next, after the station's five groups, which stay as they were.
#include "Processes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
    void aFavouriteOutlivesTheStart();
};

void TestLibraryStarts::aFavouriteOutlivesTheStart() {
    StationProcess station;
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
    QCOMPARE(viewer.endWithKey(kWindow, u"ctrl+q"_s, 15000), 0);
}

QTEST_GUILESS_MAIN(TestLibraryStarts)
#include "tst_library_starts.moc"
