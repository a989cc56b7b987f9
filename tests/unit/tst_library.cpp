#include "WholeFiles.h"
#include "settings/LibraryFile.h"
#include "settings/ProgrammeLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

ProgrammeKey key(int n) {
    return {u"新闻联播"_s, u"新闻联播%1"_s.arg(n, 4, 10, QLatin1Char('0'))};
}

} // namespace

class TestLibrary : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void favouritesKeepTheirOrderAndLimit();
    void recentIsMostRecentFirstAndCapped();
    void positionsKeepTheNewestWithinTheLimit();
    void onlyAPositionAwayFromBothEndsIsKept_data();
    void onlyAPositionAwayFromBothEndsIsKept();
    void readsWhatItWrites();
    void skipsEntriesThatAreNotWellFormed();
    void unknownFieldsSurviveARewrite();
    void fileRules_data();
    void fileRules();
    void aMissingFileIsEmptyAndLeftAlone();
    void writesTheBytesItSays();
    void theListsOutliveAFileFullOfOtherFields_data();
    void theListsOutliveAFileFullOfOtherFields();
    void theListsAtTheirLimitsFitTheFile();
    void aBadFileIsKeptWhenItsNameAsideIsTaken();
};

void TestLibrary::favouritesKeepTheirOrderAndLimit() {
    ProgrammeLibrary library;
    QVERIFY(library.addFavourite(key(3)));
    QVERIFY(library.addFavourite(key(1)));
    QVERIFY(!library.addFavourite(key(3)));
    QVERIFY(library.addFavourite(key(2)));
    QCOMPARE(library.favourites(), (std::vector<ProgrammeKey>{key(3), key(1), key(2)}));
    QVERIFY(library.removeFavourite(key(1)));
    QVERIFY(!library.removeFavourite(key(1)));
    QCOMPARE(library.favourites(), (std::vector<ProgrammeKey>{key(3), key(2)}));
    // The same title in another category is another programme.
    QVERIFY(!library.isFavourite({u"药都时空"_s, key(3).title}));

    for (int n = 10; library.favourites().size() < 200; ++n)
        QVERIFY(library.addFavourite(key(n)));
    QVERIFY(!library.addFavourite(key(9999)));
    QCOMPARE(library.favourites().size(), size_t(200));
    QCOMPARE(library.favourites().front(), key(3));
}

void TestLibrary::recentIsMostRecentFirstAndCapped() {
    ProgrammeLibrary library;
    for (int n = 1; n <= 12; ++n)
        library.recordPlay(key(n));
    library.recordPlay(key(5)); // played again: moves up, not in twice
    std::vector<ProgrammeKey> expected{key(5), key(12), key(11), key(10), key(9),
                                       key(8), key(7),  key(6),  key(4),  key(3)};
    QCOMPARE(library.recent(), expected);
}

void TestLibrary::positionsKeepTheNewestWithinTheLimit() {
    ProgrammeLibrary library;
    for (int n = 0; n < 501; ++n)
        library.keepPosition(key(n), 20'000 + n);
    QCOMPARE(library.positions().size(), size_t(500));
    QCOMPARE(library.position(key(0)), std::nullopt);
    QCOMPARE(library.position(key(1)), std::optional<qint64>(20'001));
    QCOMPARE(library.position(key(500)), std::optional<qint64>(20'500));
    // Kept again, a position counts as new: the oldest is now key(2).
    library.keepPosition(key(1), 31'000);
    library.keepPosition(key(600), 25'000);
    QCOMPARE(library.position(key(1)), std::optional<qint64>(31'000));
    QCOMPARE(library.position(key(2)), std::nullopt);
    QVERIFY(library.forgetPosition(key(1)));
    QCOMPARE(library.position(key(1)), std::nullopt);
}

void TestLibrary::onlyAPositionAwayFromBothEndsIsKept_data() {
    QTest::addColumn<qint64>("time");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("kept");
    QTest::newRow("just started") << qint64(10'000) << qint64(40'000) << false;
    QTest::newRow("past the first 10 s") << qint64(10'001) << qint64(40'000) << true;
    QTest::newRow("middle") << qint64(20'000) << qint64(40'000) << true;
    QTest::newRow("10 s before the end") << qint64(30'000) << qint64(40'000) << false;
    QTest::newRow("length unknown") << qint64(20'000) << qint64(0) << false;
    QTest::newRow("shorter than 20 s") << qint64(10'500) << qint64(19'000) << false;
}

void TestLibrary::onlyAPositionAwayFromBothEndsIsKept() {
    QFETCH(qint64, time);
    QFETCH(qint64, length);
    QFETCH(bool, kept);
    QCOMPARE(ProgrammeLibrary::worthKeeping(time, length), kept);
}

void TestLibrary::readsWhatItWrites() {
    ProgrammeLibrary library;
    library.addFavourite({u"药都论坛"_s, u"Ｆ１ 论坛"_s});
    library.recordPlay(key(1));
    library.keepPosition(key(1), 12'345);
    const QJsonObject json = library.toJson();
    QCOMPARE(
        QJsonDocument(json).toJson(QJsonDocument::Compact),
        QByteArray(R"({"favourites":[{"category":"药都论坛","title":"Ｆ１ 论坛"}],)"
                   R"("positions":[{"category":"新闻联播","ms":12345,"title":"新闻联播0001"}],)"
                   R"("recent":[{"category":"新闻联播","title":"新闻联播0001"}],"version":1})"));
    const ProgrammeLibrary back = ProgrammeLibrary::fromJson(json);
    QCOMPARE(back.favourites(), library.favourites());
    QCOMPARE(back.recent(), library.recent());
    QCOMPARE(back.position(key(1)), std::optional<qint64>(12'345));
}

void TestLibrary::skipsEntriesThatAreNotWellFormed() {
    const QJsonObject root = QJsonDocument::fromJson(R"({"version":1,
        "favourites":[{"category":"新闻联播","title":"A"},{"title":"no category"},
                      {"category":"新闻联播","title":""},"text",{"category":"新闻联播","title":"A"},
                      {"category":"新闻联播","title":"B","extra":1}],
        "recent":{"category":"新闻联播","title":"not a list"},
        "positions":[{"category":"新闻联播","title":"A","ms":"12"},
                     {"category":"新闻联播","title":"B","ms":-5},
                     {"category":"新闻联播","title":"C","ms":1e300},
                     {"category":"新闻联播","title":"E","ms":0.215},
                     {"category":"新闻联播","title":"D","ms":15000.7}]})")
                                 .object();
    const ProgrammeLibrary library = ProgrammeLibrary::fromJson(root);
    QCOMPARE(library.favourites(),
             (std::vector<ProgrammeKey>{{u"新闻联播"_s, u"A"_s}, {u"新闻联播"_s, u"B"_s}}));
    QVERIFY(library.recent().empty());
    QCOMPARE(library.positions().size(), size_t(1));
    QCOMPARE(library.position({u"新闻联播"_s, u"D"_s}), std::optional<qint64>(15'000));
}

void TestLibrary::unknownFieldsSurviveARewrite() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"library.json"_s);
    writeAll(path, R"({"version":2,"theme":"dark","favourites":[],"note":{"a":[1,2]}})");
    const library_file::Read read = library_file::read(path);
    QCOMPARE(read.outcome, library_file::Read::Outcome::Read);
    ProgrammeLibrary library = ProgrammeLibrary::fromJson(read.root);
    library.addFavourite({u"走进农家"_s, u"春耕"_s});
    QVERIFY(library_file::write(path, library.toJson(read.root)));
    QCOMPARE(QJsonDocument::fromJson(readAll(path)).toJson(QJsonDocument::Compact),
             QByteArray(R"({"favourites":[{"category":"走进农家","title":"春耕"}],)"
                        R"("note":{"a":[1,2]},"positions":[],"recent":[],"theme":"dark",)"
                        R"("version":1})"));
}

void TestLibrary::fileRules_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("setAside");
    QTest::newRow("well formed") << QByteArray(R"({"version":1,"favourites":[]})") << false;
    QTest::newRow("not JSON") << QByteArray("version=1\n") << true;
    QTest::newRow("cut short") << QByteArray(R"({"version":1,"favourites":[{"cat)") << true;
    QTest::newRow("an array") << QByteArray(R"([{"version":1}])") << true;
    QTest::newRow("no version") << QByteArray(R"({"favourites":[]})") << true;
    QTest::newRow("version as text") << QByteArray(R"({"version":"1"})") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("not UTF-8") << QByteArray("{\"version\":1,\"x\":\"\xc4\xe3\"}") << true;
    QByteArray big = R"({"version":1,"pad":")";
    big += QByteArray((1 << 20) - big.size() - 2, 'x') + "\"}";
    QTest::newRow("exactly 1 MiB") << big << false;
    QTest::newRow("over 1 MiB") << big.insert(20, 'x') << true;
}

void TestLibrary::fileRules() {
    QFETCH(QByteArray, content);
    QFETCH(bool, setAside);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"library.json"_s);
    writeAll(path, u"older bad file"_s.toUtf8());
    QFile::rename(path, path + u".bad"_s);
    writeAll(path, content);
    const library_file::Read read = library_file::read(path);
    QCOMPARE(read.outcome,
             setAside ? library_file::Read::Outcome::SetAside : library_file::Read::Outcome::Read);
    if (setAside) {
        QVERIFY(read.root.isEmpty());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(readAll(path + u".bad"_s), content);
    } else {
        QCOMPARE(read.root.value(u"version"_s).toInt(), 1);
        QCOMPARE(readAll(path), content);
    }
}

void TestLibrary::aMissingFileIsEmptyAndLeftAlone() {
    QTemporaryDir dir;
    const library_file::Read read = library_file::read(dir.filePath(u"library.json"_s));
    QCOMPARE(read.outcome, library_file::Read::Outcome::Missing);
    QVERIFY(read.root.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestLibrary::writesTheBytesItSays() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"library.json"_s);
    ProgrammeLibrary library;
    library.addFavourite({u"谯城报道"_s, u"“夜”话"_s});
    QVERIFY(library_file::write(path, library.toJson()));
    QCOMPARE(readAll(path),
             QByteArray(R"({"favourites":[{"category":"谯城报道","title":"“夜”话"}],)"
                        R"("positions":[],"recent":[],"version":1})"));
    // Nothing else is left in the folder: no temporary file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{u"library.json"_s});
}

void TestLibrary::theListsOutliveAFileFullOfOtherFields_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QStringList>("givenUp");
    const QByteArray lists = R"({"version":1,"favourites":[{"category":"新闻联播","title":"A"}],)"
                             R"("recent":[{"category":"药都时空","title":"B"}],"theme":"dark",)";
    // The lists and one more field of `size` bytes in all: `open`, `repeated` as often as fits,
    // blanks to make up the size, `close`.
    const auto padded = [&](const char* field, const QByteArray& open, const QByteArray& repeated,
                            const QByteArray& close, qint64 size) {
        const QByteArray head = lists + '"' + field + "\":" + open;
        const qint64 room = size - head.size() - close.size() - 1;
        QByteArray body = repeated.repeated(room / repeated.size());
        body += QByteArray(room - body.size(), ' ');
        return head + body + close + '}';
    };
    QTest::newRow("a field nested 1 000 deep")
        << lists + R"("deep":)" + QByteArray(1000, '[') + QByteArray(1000, ']') + '}'
        << QStringList{u"deep"_s, u"theme"_s} << QStringList{};
    QTest::newRow("a wide array, 1 000 324 bytes")
        << padded("wide", "[0", ",0", "]", 1'000'324) << QStringList{u"wide"_s, u"theme"_s}
        << QStringList{};
    QTest::newRow("exactly 1 MiB") << padded("pad", "\"", "x", "\"", 1 << 20)
                                   << QStringList{u"theme"_s} << QStringList{u"pad"_s};
    // Written out in full, each 1e9 takes ten bytes: the same fields come to 2.6 MiB.
    QTest::newRow("numbers that grow when written")
        << padded("numbers", "[1e9", ",1e9", "]", 1'000'000) << QStringList{u"theme"_s}
        << QStringList{u"numbers"_s};
}

// A change is written and the file read again as at the next start: the lists and every field
// that fits come back; nothing is set aside.
void TestLibrary::theListsOutliveAFileFullOfOtherFields() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, givenUp);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"library.json"_s);
    writeAll(path, content);
    const library_file::Read first = library_file::read(path);
    QCOMPARE(first.outcome, library_file::Read::Outcome::Read);
    ProgrammeLibrary library = ProgrammeLibrary::fromJson(first.root);
    QVERIFY(library.addFavourite({u"走进农家"_s, u"春耕"_s}));
    QVERIFY(library_file::write(path, library.toJson(first.root)));

    QVERIFY2(QFileInfo(path).size() <= 1'048'576,
             qPrintable(QString::number(QFileInfo(path).size())));
    const library_file::Read second = library_file::read(path);
    QCOMPARE(second.outcome, library_file::Read::Outcome::Read);
    const ProgrammeLibrary back = ProgrammeLibrary::fromJson(second.root);
    QCOMPARE(back.favourites(),
             (std::vector<ProgrammeKey>{{u"新闻联播"_s, u"A"_s}, {u"走进农家"_s, u"春耕"_s}}));
    QCOMPARE(back.recent(), (std::vector<ProgrammeKey>{{u"药都时空"_s, u"B"_s}}));
    for (const QString& field : kept)
        QVERIFY2(second.root.value(field) == first.root.value(field), qPrintable(field));
    for (const QString& field : givenUp)
        QVERIFY2(!second.root.contains(field), qPrintable(field));

    // The next change after that start keeps what the first one did.
    library = back;
    library.recordPlay({u"谯城报道"_s, u"C"_s});
    QVERIFY(library_file::write(path, library.toJson(second.root)));
    const library_file::Read third = library_file::read(path);
    QCOMPARE(third.outcome, library_file::Read::Outcome::Read);
    QCOMPARE(ProgrammeLibrary::fromJson(third.root).favourites(), back.favourites());
    QCOMPARE(third.root.keys(), second.root.keys());
}

// Every list at its limit, every name as long as kept and made of characters JSON spells in six
// bytes each, still fits the file.
void TestLibrary::theListsAtTheirLimitsFitTheFile() {
    QString controls;
    for (char16_t c = 1; c < 0x20; ++c) {
        if (c != u'\b' && c != u'\t' && c != u'\n' && c != u'\f' && c != u'\r')
            controls += QChar(c);
    }
    const auto longName = [&](int n) {
        return QString(98, QChar(1)) + controls[n % controls.size()] +
               controls[n / controls.size()];
    };
    ProgrammeLibrary library;
    for (int n = 0; n < 200; ++n)
        QVERIFY(library.addFavourite({longName(n), longName(n)}));
    for (int n = 0; n < 500; ++n)
        library.keepPosition({longName(n), longName(n)}, 86'400'000);
    for (int n = 0; n < 10; ++n)
        library.recordPlay({longName(n), longName(n)});
    const std::optional<QByteArray> content = library_file::content(library.toJson());
    QVERIFY(content);
    QVERIFY2(content->size() < 900'000, qPrintable(QString::number(content->size())));
    QCOMPARE(ProgrammeLibrary::fromJson(*library_file::parse(*content)).positions().size(),
             size_t(500));
    // The downloads at their limit as well, each entry as long as it can be written, still fit.
    for (int n = 0; n < DownloadList::kMaxEntries; ++n) {
        QVERIFY(library.downloads().add({longName(n), longName(n)}, 900 + n));
        DownloadEntry& entry = *library.downloads().find({longName(n), longName(n)});
        entry.state = DownloadEntry::State::Failed;
        entry.reason = QString(DownloadList::kMaxReasonLength, u'-');
        entry.length = 9'007'199'254'740'992;
    }
    const std::optional<QByteArray> withDownloads = library_file::content(library.toJson());
    QVERIFY(withDownloads);
    QVERIFY2(withDownloads->size() < library_file::kMaxBytes,
             qPrintable(QString::number(withDownloads->size())));
    const ProgrammeLibrary reread =
        ProgrammeLibrary::fromJson(*library_file::parse(*withDownloads));
    QCOMPARE(reread.downloads().entries().size(), size_t(DownloadList::kMaxEntries));
    QCOMPARE(reread.positions().size(), size_t(500));

    // One unit longer, a name is no programme's: not taken, not read.
    const ProgrammeKey tooLong{u"新闻联播"_s, QString(101, u'长')};
    ProgrammeLibrary empty;
    QVERIFY(!empty.addFavourite(tooLong));
    empty.recordPlay(tooLong);
    empty.keepPosition({QString(101, u'长'), u"A"_s}, 20'000);
    QVERIFY(empty.favourites().empty());
    QVERIFY(empty.recent().empty());
    QVERIFY(empty.positions().empty());
    const QJsonObject read =
        QJsonDocument::fromJson(u"{\"version\":1,\"favourites\":[{\"category\":\"新闻联播\","
                                "\"title\":\"%1\"},{\"category\":\"新闻联播\",\"title\":\"%2\"}]}"_s
                                    .arg(QString(101, u'长'), QString(100, u'长'))
                                    .toUtf8())
            .object();
    QCOMPARE(ProgrammeLibrary::fromJson(read).favourites(),
             (std::vector<ProgrammeKey>{{u"新闻联播"_s, QString(100, u'长')}}));
}

// A folder where the bad file would go does not make the viewer overwrite that file: it goes to
// the next free name, and stays there through the writes that follow.
void TestLibrary::aBadFileIsKeptWhenItsNameAsideIsTaken() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"library.json"_s);
    QVERIFY(QDir(dir.path()).mkdir(u"library.json.bad"_s));
    QVERIFY(QDir(dir.path()).mkdir(u"library.json.bad.1"_s));
    writeAll(dir.filePath(u"library.json.bad/note"_s), "mine");
    writeAll(path, R"({"version":1,"favourites":[)");
    const library_file::Read read = library_file::read(path);
    QCOMPARE(read.outcome, library_file::Read::Outcome::SetAside);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(readAll(dir.filePath(u"library.json.bad.2"_s)),
             QByteArray(R"({"version":1,"favourites":[)"));
    QCOMPARE(readAll(dir.filePath(u"library.json.bad/note"_s)), QByteArray("mine"));

    ProgrammeLibrary library;
    library.addFavourite({u"走进农家"_s, u"春耕"_s});
    QVERIFY(library_file::write(path, library.toJson(read.root)));
    QCOMPARE(library_file::read(path).outcome, library_file::Read::Outcome::Read);
    QCOMPARE(readAll(dir.filePath(u"library.json.bad.2"_s)),
             QByteArray(R"({"version":1,"favourites":[)"));
    // A newer bad file takes the same name: the newest is the one to look at.
    writeAll(path, "not JSON");
    QCOMPARE(library_file::read(path).outcome, library_file::Read::Outcome::SetAside);
    QCOMPARE(readAll(dir.filePath(u"library.json.bad.2"_s)), QByteArray("not JSON"));
    QCOMPARE(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        (QStringList{u"library.json.bad"_s, u"library.json.bad.1"_s, u"library.json.bad.2"_s}));
}

QTEST_GUILESS_MAIN(TestLibrary)
#include "tst_library.moc"
