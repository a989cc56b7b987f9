// The station's pages must cut cleanly under the viewer's extraction rule. The rule is applied
// here independently of the viewer's code, as a cross-check of both.
#include "Faults.h"
#include "StationPages.h"

#include <QStringDecoder>
#include <QTest>
#include <set>
#include <string>

using namespace station;

namespace {

// 1-based search from position `from`; -1 when absent.
long findText(const std::string& text, std::string_view needle, long from) {
    if (from < 1)
        from = 1;
    const std::size_t at = text.find(needle, static_cast<std::size_t>(from - 1));
    return at == std::string::npos ? -1 : static_cast<long>(at) + 1;
}

std::string midText(const std::string& text, long start, long count) {
    if (count <= 0 || start > static_cast<long>(text.size()))
        return {};
    if (start < 1) {
        count += start - 1;
        start = 1;
        if (count <= 0)
            return {};
    }
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

std::string contentSection(const std::string& page) {
    const long s = findText(page, kContentStart, 1) + 20;
    const long e = findText(page, kContentEnd, 1);
    return midText(page, s, e - s);
}

struct Cut {
    std::string title;
    std::string link;
};

std::vector<Cut> cutEntries(int row, const std::string& section) {
    const CategoryLayout& layout = categoryLayout(row);
    std::vector<Cut> out;
    long p = 0;
    long q = 0;
    for (int i = 0; i < layout.entryCount; ++i) {
        p = findText(section, layout.anchor, p + 1);
        const std::string title = midText(section, p + layout.titleOffset, 14);
        q = findText(section, "<a href=", q + 1) + 1;
        out.push_back({title, midText(section, q + 8, 38)});
    }
    return out;
}

long countOf(const std::string& text, std::string_view needle) {
    long n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1))
        ++n;
    return n;
}

} // namespace

class TestStationPages : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void gbkConversion() {
        QCOMPARE(toGbk("新闻联播"), std::string("\xD0\xC2\xCE\xC5\xC1\xAA\xB2\xA5"));
        QCOMPARE(toGbk("ab"), std::string("ab"));
    }

    void extractionCutsEveryEntryClean_data() {
        QTest::addColumn<int>("row");
        for (int row = 1; row <= kCategoryRows; ++row)
            QTest::addRow("row %d", row) << row;
    }

    void extractionCutsEveryEntryClean() {
        QFETCH(int, row);
        const std::string page = buildCategoryPage(row);
        const CategoryLayout& layout = categoryLayout(row);
        QCOMPARE(countOf(page, kContentStart), 1);
        QCOMPARE(countOf(page, kContentEnd), 1);

        QStringDecoder gbk("GBK");
        gbk.decode(QByteArray::fromStdString(page));
        QVERIFY(!gbk.hasError());

        const std::vector<DemoEntry>& entries = demoEntries(row);
        QVERIFY(static_cast<int>(entries.size()) > layout.entryCount);
        std::set<std::string> titles;
        for (const DemoEntry& e : entries) {
            QCOMPARE(e.title.size(), std::size_t(14));
            QVERIFY(e.title.find_first_of("|\r\n") == std::string::npos);
            titles.insert(e.title);
        }
        QCOMPARE(titles.size(), entries.size());

        // One anchor and one link per entry inside the section, nothing else that could shift
        // the chains.
        const std::string section = contentSection(page);
        QCOMPARE(countOf(section, layout.anchor), static_cast<long>(entries.size()));
        QCOMPARE(countOf(section, "<a href="), static_cast<long>(entries.size()));

        const std::vector<Cut> cuts = cutEntries(row, section);
        QCOMPARE(static_cast<int>(cuts.size()), layout.entryCount);
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            QVERIFY2(titles.count(cuts[i].title) == 1, qPrintable(QString::number(i)));
            QCOMPARE(cuts[i].title, entries[i].title);
            QCOMPARE(cuts[i].link, entries[i].link);
            // The link is the whole href value: a quote right behind it.
            const std::string full = "<a href=\"" + cuts[i].link + "\"";
            QVERIFY2(section.find(full) != std::string::npos, cuts[i].link.c_str());
        }
    }

    void pathsMapToRows() {
        QCOMPARE(rowForPath("/index/4/20100112/100813.shtml"), 1);
        QCOMPARE(rowForPath("/index/4/20100112/100639.shtml"), 5);
        QCOMPARE(rowForPath("/index/4/20100112/100639.shtml/"), 0);
        QCOMPARE(rowForPath("/"), 0);
        QCOMPARE(rowForPath(""), 0);
    }

    void nulPageKeepsTheCutsForAByteCleanReader() {
        const std::string page = buildCategoryPage(4);
        const std::string withNuls = pageWithNuls(page);
        const std::string section = contentSection(withNuls);
        QVERIFY(section.find('\0') != std::string::npos);
        QVERIFY(page.find('\0') == std::string::npos);
        const std::vector<Cut> clean = cutEntries(4, contentSection(page));
        const std::vector<Cut> dirty = cutEntries(4, section);
        for (std::size_t i = 0; i < clean.size(); ++i) {
            QCOMPARE(dirty[i].title, clean[i].title);
            QCOMPARE(dirty[i].link, clean[i].link);
        }
    }

    void markerFaults() {
        const std::string page = buildCategoryPage(1);
        const std::string reversed = pageWithMarkersReversed(page);
        QVERIFY(reversed.find(kContentEnd) < reversed.find(kContentStart));
        QVERIFY(contentSection(reversed).empty());
        QCOMPARE(reversed.size(), page.size());

        const std::string noStart = pageWithoutStart(page);
        QCOMPARE(countOf(noStart, kContentStart), 0);
        QCOMPARE(countOf(noStart, kContentEnd), 1);
        const std::string noEnd = pageWithoutEnd(page);
        QCOMPARE(countOf(noEnd, kContentStart), 1);
        QCOMPARE(countOf(noEnd, kContentEnd), 0);

        QCOMPARE(garbageBytes(1000, 3), garbageBytes(1000, 3));
        QCOMPARE(garbageBytes(1000, 3).size(), std::size_t(1000));
    }

    void faultOptions() {
        FaultMap faults;
        QVERIFY(addFaultOption("1=404", faults));
        QVERIFY(addFaultOption("5=markers-reversed", faults));
        QVERIFY(addFaultOption("1=stall", faults)); // later option for the same row wins
        QCOMPARE(faults.size(), std::size_t(2));
        QVERIFY(faults[1] == Fault::Stall);
        QVERIFY(faults[5] == Fault::MarkersReversed);
        for (const char* bad : {"0=404", "6=404", "1=bogus", "1", "=404", "x=404", "1=", "-1=404",
                                "1 =404", "12=404"})
            QVERIFY2(!addFaultOption(bad, faults), bad);
        for (Fault f : {Fault::NotFound, Fault::Close, Fault::RedirectFtp, Fault::NoEnd})
            QVERIFY(parseFaultMode(faultName(f)) == f);

        StreamFault stream;
        QVERIFY(parseStreamFault("drop=40", stream));
        QVERIFY(stream.kind == StreamFault::Kind::Drop && stream.afterPackets == 40);
        QVERIFY(parseStreamFault("cut=700", stream));
        QVERIFY(stream.kind == StreamFault::Kind::Cut && stream.afterPackets == 700);
        QVERIFY(parseStreamFault("stall=0", stream));
        QVERIFY(stream.kind == StreamFault::Kind::Stall && stream.afterPackets == 0);
        for (const char* bad : {"drop", "drop=", "drop=-1", "drop=4x", "reset=4", "=4", "drop =4"})
            QVERIFY2(!parseStreamFault(bad, stream), bad);
        QVERIFY(stream.kind == StreamFault::Kind::Stall && stream.afterPackets == 0);
    }

    void adPageIsSelfContained() {
        const std::string ad = buildAdPage();
        QVERIFY(ad.find("Velmora网络电视") != std::string::npos);
        QVERIFY(ad.find("<style>") != std::string::npos);
        for (const char* external : {"src=", "url(", "href=", "@import", "http"})
            QVERIFY2(ad.find(external) == std::string::npos, external);
    }
};

QTEST_GUILESS_MAIN(TestStationPages)
#include "tst_station_pages.moc"
