// The list of kept programmes as the library file holds it, and where their files go: what is
// read back, what a hand-edited or hostile file cannot make the viewer do (write outside the
// downloads folder, share one file between two entries), and names a file system takes.
#include "settings/LibraryFile.h"
#include "settings/ProgrammeLibrary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;
using State = DownloadEntry::State;

namespace {

QJsonObject rootOf(const QString& json) {
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

} // namespace

class TestDownloadList : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void readsWhatItWritesAndOlderFilesReadAsBefore();
    void skipsWhatIsNotWellFormedOrNamesAnotherEntrysFile();
    void namesStayInsideTheFolderAndWithinAFileSystemsLimit_data();
    void namesStayInsideTheFolderAndWithinAFileSystemsLimit();
    void theListHasALimit();
};

void TestDownloadList::readsWhatItWritesAndOlderFilesReadAsBefore() {
    ProgrammeLibrary library;
    DownloadList& list = library.downloads();
    QVERIFY(list.add({u"新闻联播"_s, u"新闻联播0112期"_s}));
    QVERIFY(list.add({u"走进农家"_s, u"春耕"_s}, 2));
    QVERIFY(!list.add({u"走进农家"_s, u"春耕"_s}));
    list.find({u"新闻联播"_s, u"新闻联播0112期"_s})->state = State::Done;
    list.find({u"新闻联播"_s, u"新闻联播0112期"_s})->length = 6708009;
    DownloadEntry* failed = list.find({u"走进农家"_s, u"春耕"_s});
    failed->state = State::Failed;
    failed->reason = u"disk-full"_s;
    const QByteArray written = library_file::serialise(library.toJson());
    QCOMPARE(written,
             (uR"({"downloads":[{"category":"新闻联播","length":6708009,"state":"done",)"
              uR"("title":"新闻联播0112期"},{"category":"走进农家","copy":2,"reason":"disk-full",)"
              uR"("state":"failed","title":"春耕"}],"favourites":[],"positions":[],"recent":[],)"
              uR"("version":1})"_s)
                 .toUtf8());
    const ProgrammeLibrary back = ProgrammeLibrary::fromJson(*library_file::parse(written));
    QCOMPARE(library_file::serialise(back.toJson()), written);

    // A file from before downloads existed reads as it did and is written as it was.
    const QJsonObject older =
        rootOf(uR"({"version":1,"favourites":[{"category":"新闻联播","title":"A"}]})"_s);
    const ProgrammeLibrary read = ProgrammeLibrary::fromJson(older);
    QVERIFY(read.downloads().entries().empty());
    QCOMPARE(library_file::serialise(read.toJson(older)),
             QByteArray(R"({"favourites":[{"category":"新闻联播","title":"A"}],"positions":[],)"
                        R"("recent":[],"version":1})"));
    // The field goes when the last download does.
    ProgrammeLibrary emptied = back;
    emptied.downloads().remove({u"新闻联播"_s, u"新闻联播0112期"_s});
    emptied.downloads().remove({u"走进农家"_s, u"春耕"_s});
    QVERIFY(!emptied.toJson(back.toJson()).contains(u"downloads"_s));
}

void TestDownloadList::skipsWhatIsNotWellFormedOrNamesAnotherEntrysFile() {
    const DownloadList list = ProgrammeLibrary::fromJson(rootOf(uR"({"version":1,"downloads":[
        {"category":"新闻联播","title":"好","state":"done","length":100},
        {"category":"新闻联播","title":"好","state":"failed"},
        {"category":"新闻联播","title":"状态","state":"paused"},
        {"category":"新闻联播","title":"","state":"queued"},
        {"category":7,"title":"数字","state":"queued"},
        {"category":"新闻联播","title":"负","state":"queued","length":-1},
        {"category":"新闻联播","title":"份","state":"queued","copy":1000},
        {"category":"新闻联播","title":"a/b","state":"queued"},
        {"category":"新闻联播","title":"a_b","state":"queued"},
        {"category":"新闻联播","title":"a_b","state":"queued","copy":2},
        {"category":"新闻联播","title":"因","state":"failed","reason":"<script>"},
        "not an entry"]})"_s))
                                  .downloads();
    QStringList read;
    for (const DownloadEntry& entry : list.entries())
        read << entry.key.title + u':' + QString::number(entry.copy) + u':' + entry.reason;
    // "a_b" names the file "a/b" already names; as copy 2 it has one of its own. A reason that is
    // none of the viewer's codes is dropped, the entry kept.
    QCOMPARE(read, (QStringList{u"好:1:"_s, u"a/b:1:"_s, u"a_b:2:"_s, u"因:1:"_s}));
    QCOMPARE(list.entries().front().length, 100);
}

void TestDownloadList::namesStayInsideTheFolderAndWithinAFileSystemsLimit_data() {
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("copy");
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << u"新闻联播"_s << u"新闻联播0112期"_s << 1
                           << u"新闻联播/新闻联播0112期.wmv"_s;
    QTest::newRow("second copy") << u"走进农家"_s << u"春耕"_s << 2 << u"走进农家/春耕 (2).wmv"_s;
    QTest::newRow("separators") << u"../.."_s << u"../../etc/passwd"_s << 1
                                << u"_.._../_.._.._etc_passwd.wmv"_s;
    QTest::newRow("dot names") << u"."_s << u".."_s << 1 << u"_./_...wmv"_s;
    QTest::newRow("controls") << u"a\nb"_s << u"c\u0001\u007fd\\e"_s << 1 << u"a_b/c__d_e.wmv"_s;
    QTest::newRow("empty category") << QString() << u"好"_s << 1 << u"_/好.wmv"_s;
    QTest::newRow("lone surrogate")
        << u"新闻"_s << QString(QChar(0xD800)) + u"x"_s << 1 << u"新闻/_x.wmv"_s;
}

void TestDownloadList::namesStayInsideTheFolderAndWithinAFileSystemsLimit() {
    QFETCH(QString, category);
    QFETCH(QString, title);
    QFETCH(int, copy);
    QFETCH(QString, path);
    QCOMPARE(DownloadList::relativePath({category, title}, copy), path);
}

void TestDownloadList::theListHasALimit() {
    DownloadList list;
    for (int n = 0; n < DownloadList::kMaxEntries; ++n)
        QVERIFY(list.add({u"新闻联播"_s, QString::number(n)}));
    QVERIFY(list.isFull());
    QVERIFY(!list.add({u"新闻联播"_s, u"one more"_s}));
    QVERIFY(!list.add({u"新闻联播"_s, QString(101, u'长')}));

    // A title of the longest kind, in characters of three UTF-8 bytes each, still makes a part
    // file's name of at most 255 bytes, cut between characters.
    const QString name = DownloadList::fileName(QString(100, u'长'), DownloadList::kMaxCopy);
    QCOMPARE(name, QString(80, u'长') + u" (999).wmv"_s);
    QCOMPARE((name + DownloadList::kPartSuffix).toUtf8().size(), 255);
    QCOMPARE(DownloadList::fileName(u"a"_s + QString(99, u'长'), 1),
             u"a"_s + QString(79, u'长') + u".wmv"_s);
    QCOMPARE(DownloadList::folderName(QString(100, u'长')).toUtf8().size(), 85 * 3);
}

QTEST_GUILESS_MAIN(TestDownloadList)
#include "tst_download_list.moc"
