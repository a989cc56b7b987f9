#include "StationFacts.h"
#include "catalogue/PageExtraction.h"

#include <QTest>

namespace {

const CategoryRow& row(int number) {
    return TvStation::categories().at(size_t(number - 1));
}

// The lines a category's extraction always gives.
int entries(const CategoryRow& r) {
    return facts::category(r.number).entries;
}

std::string title(int i) {
    return "Title-" + std::to_string(100000 + i) + "xx";
} // 14 bytes
std::string link(int i) {
    return "/index/4/20100112/content_" + std::to_string(1000000 + i) + ".shtm"; // 38 bytes
}

// One entry laid out so that the row's anchor and offset meet the title exactly.
std::string entry(const CategoryRow& r, const std::string& t, const std::string& l) {
    const std::string anchor = "<a href=\"" + l + "\">";
    switch (r.titleOffset) {
    case 39: // the title sits 31 bytes behind the tag's end
        return "<li><strong><em>" + std::string(22, '-') + "</em>" + t + "</strong>" + anchor +
               "more</a></li>\n";
    case 8:
        return "<li><strong>" + t + "</strong>" + anchor + "more</a></li>\n";
    default: // the 14 bytes right before "</a>"
        return "<li>" + anchor + t + "</a></li>\n";
    }
}

std::string section(const CategoryRow& r, int entries) {
    std::string s = "<ul>\n";
    for (int i = 0; i < entries; ++i)
        s += entry(r, title(i), link(i));
    return s + "</ul>\n";
}

std::string line(const CategoryRow& r, const std::string& t, const std::string& l) {
    return facts::label(r.number) + "|" + t + "|" + l + "\r\n";
}

} // namespace

class TestExtraction : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void contentSection_data();
    void contentSection();
    void moreEntriesThanTheCount();
    void fewerEntriesCarryTheMissArithmetic();
    void emptySection();
    void cutsKeepEveryByte();
    void lastRowAnchorNearTheStart();
};

void TestExtraction::contentSection_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("between the first markers")
        << QByteArray("head<!--Content Start-->A<!--Content End-->B<!--Content End-->")
        << QByteArray("A");
    QTest::newRow("second start marker is content")
        << QByteArray("<!--Content Start-->x<!--Content Start-->y<!--Content End-->")
        << QByteArray("x<!--Content Start-->y");
    QTest::newRow("no end marker") << QByteArray("<!--Content Start-->abc") << QByteArray();
    QTest::newRow("end before start")
        << QByteArray("<!--Content End--><!--Content Start-->abc") << QByteArray();
    QTest::newRow("adjacent markers")
        << QByteArray("<!--Content Start--><!--Content End-->") << QByteArray();
    // The miss (-1) plus the marker's 20 bytes starts the cut at position 19.
    QTest::newRow("no start marker")
        << QByteArray("0123456789abcdefghIJKLMN<!--Content End-->") << QByteArray("IJKLMN");
    QTest::newRow("no start marker, end within 19 bytes")
        << QByteArray("0123<!--Content End-->") << QByteArray();
    QTest::newRow("empty page") << QByteArray() << QByteArray();
    QTest::newRow("NUL bytes are content")
        << QByteArray("<!--Content Start-->a\0b<!--Content End-->", 41) << QByteArray("a\0b", 3);
}

void TestExtraction::contentSection() {
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(cutContentSection(page.toStdString())), expected);
}

void TestExtraction::moreEntriesThanTheCount() {
    for (const CategoryRow& r : TvStation::categories()) {
        const auto lines = extractEntryLines(r, section(r, entries(r) + 3));
        QCOMPARE(int(lines.size()), entries(r));
        for (int i = 0; i < entries(r); ++i)
            QCOMPARE(lines[size_t(i)], line(r, title(i), link(i)));
    }
}

void TestExtraction::fewerEntriesCarryTheMissArithmetic() {
    for (const CategoryRow& r : TvStation::categories()) {
        const std::string s = section(r, 2);
        const auto lines = extractEntryLines(r, s);
        QCOMPARE(int(lines.size()), entries(r));
        QCOMPARE(lines[0], line(r, title(0), link(0)));
        QCOMPARE(lines[1], line(r, title(1), link(1)));
        // The third pass misses both chains: the title comes from position -1 + offset, the link
        // from position 8 (the miss leaves q at 0).
        const std::string missedTitle =
            r.titleOffset < 0 ? std::string() : s.substr(size_t(r.titleOffset - 2), 14);
        QCOMPARE(lines[2], line(r, missedTitle, s.substr(7, 38)));
        // After a miss both chains start again from the first entry.
        QCOMPARE(lines[3], lines[0]);
        QCOMPARE(lines[4], lines[1]);
        QCOMPARE(lines[5], lines[2]);
    }
}

void TestExtraction::emptySection() {
    for (const CategoryRow& r : TvStation::categories()) {
        const auto lines = extractEntryLines(r, {});
        QCOMPARE(int(lines.size()), entries(r));
        for (const std::string& l : lines)
            QCOMPARE(l, facts::label(r.number) + "||\r\n");
    }
}

void TestExtraction::cutsKeepEveryByte() {
    // 新 is D0 C2: a title window that ends after the lead byte keeps the half character, and
    // a "|" or CR LF inside a window goes into the line unchanged.
    const std::string split = "2010\xc4\xea"
                              "1\xd4\xc2"
                              "12\xc8\xd5\xd0\xc2"; // 13 bytes + lead
    const std::string splitTitle = split.substr(0, 14);
    QCOMPARE(splitTitle.back(), '\xd0');
    const std::string piped = "abc|def\r\nghijk";
    const std::string oddLink = "/a|b\r\nc/" + std::string(30, 'x');
    for (const CategoryRow& r : TvStation::categories()) {
        if (r.titleOffset < 0)
            continue; // the last row's titles end at "</a>", covered below
        const std::string s = entry(r, split + "\xce\xc5", link(0)) + entry(r, piped, oddLink);
        const auto lines = extractEntryLines(r, s);
        QCOMPARE(lines[0], line(r, splitTitle, link(0)));
        QCOMPARE(lines[1], line(r, piped, oddLink));
    }
    // Cut backward from "</a>", a 15-byte title loses the lead byte of its first character.
    const CategoryRow& last = row(5);
    const std::string fifteen = "\xd0\xc2\xce\xc5"
                                "3\xc1\xaa\xb2\xa5\xcc\xb3\xc2\xdb\xb5\xda";
    const auto lines = extractEntryLines(last, "<a href=\"" + link(0) + "\">" + fifteen + "</a>");
    QCOMPARE(lines[0], line(last, fifteen.substr(1), link(0)));
}

void TestExtraction::lastRowAnchorNearTheStart() {
    // "</a>" within the first 14 bytes: the title is the bytes before it.
    const auto lines = extractEntryLines(row(5), "AB</a><a href=\"" + link(0) + "\">");
    QCOMPARE(lines[0], line(row(5), "AB", link(0)));
    // At the very start nothing precedes it.
    QCOMPARE(extractEntryLines(row(5), "</a>")[0], line(row(5), "", ""));
}

QTEST_APPLESS_MAIN(TestExtraction)
#include "tst_extraction.moc"
