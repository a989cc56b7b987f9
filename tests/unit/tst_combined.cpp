#include "catalogue/CombinedCatalogue.h"
#include "catalogue/TvStation.h"

#include <QTest>

namespace {
const CategoryRow& row(int number) {
    return TvStation::categories()[size_t(number - 1)];
}

std::string finishedAll() {
    std::string finished;
    for (const CategoryRow& r : TvStation::categories())
        finished += r.finishedText;
    return finished;
}

QList<QByteArray> titles(const MenuGroupPlan& group) {
    QList<QByteArray> out;
    for (const MenuItemPlan& item : group.items)
        out << QByteArray::fromStdString(item.title);
    return out;
}
} // namespace

class TestCombined : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void combinedFileIsTheLinesInOrder();
    void itemTitles();
    void fullCatalogueGroups();
    void brokenLines();
    void unknownAndMissingGroups();
};

void TestCombined::combinedFileIsTheLinesInOrder() {
    CategoryTexts texts{"a|1|x\r\n", "", "c|3|z\r\nc|4|w\r\n", "d|5|v\r\n", ""};
    QCOMPARE(combineCatalogue(texts), std::string("a|1|x\r\nc|3|z\r\nc|4|w\r\nd|5|v\r\n"));
    QCOMPARE(combineCatalogue({}), std::string());
}

void TestCombined::itemTitles() {
    QCOMPARE(itemTitleOf("label|ABC|link").value(), std::string_view("ABC"));
    QCOMPARE(itemTitleOf("label||link").value(), std::string_view(""));
    QCOMPARE(itemTitleOf("label|A|B|link").value(), std::string_view("A"));
    QCOMPARE(itemTitleOf("label|tail").value(), std::string_view("tail"));
    QCOMPARE(itemTitleOf("label|").value(), std::string_view(""));
    QVERIFY(!itemTitleOf("no separator").has_value());
    QVERIFY(!itemTitleOf("").has_value());
}

void TestCombined::fullCatalogueGroups() {
    CategoryTexts texts;
    for (const CategoryRow& r : TvStation::categories()) {
        for (int i = 0; i < r.entryCount; ++i)
            texts[size_t(r.number - 1)] += r.label + "|T" + std::to_string(i % 3) + "|L\r\n";
    }
    const auto groups = planMenu(finishedAll(), texts);
    QCOMPARE(groups.size(), size_t(5));
    for (const CategoryRow& r : TvStation::categories()) {
        const MenuGroupPlan& g = groups[size_t(r.number - 1)];
        QCOMPARE(g.title, r.label);
        QCOMPARE(g.ordinal, r.number);
        QCOMPARE(int(g.items.size()), r.entryCount);
        // Equal titles stay separate items; every item goes to its category's group.
        QCOMPARE(titles(g).mid(0, 4), (QList<QByteArray>{"T0", "T1", "T2", "T0"}));
        for (const MenuItemPlan& item : g.items) {
            QCOMPARE(item.group, r.number - 1);
            QCOMPARE(item.cut, r.number == 5 ? GbkCut::CleanEnd : GbkCut::CleanStart);
        }
    }
}

void TestCombined::brokenLines() {
    CategoryTexts texts;
    // A title holding "|" shows only its part before the "|"; one holding CR LF splits its
    // line into a fragment with a "|" (an item) and one without (skipped); empty titles stay.
    texts[0] = row(1).label + "|ab|cd|link\r\n" + row(1).label + "|x\r\ny|link\r\n" + row(1).label +
               "||link\r\n" + "\r\n";
    const auto groups = planMenu(finishedAll(), texts);
    QCOMPARE(titles(groups[0]), (QList<QByteArray>{"ab", "x", "link", ""}));
    for (size_t g = 1; g < groups.size(); ++g)
        QVERIFY(groups[g].items.empty());
}

void TestCombined::unknownAndMissingGroups() {
    CategoryTexts texts;
    texts[4] = row(5).label + "|t|l\r\n";
    // The group index comes from the label, not from the group's place in the list.
    const auto groups = planMenu(row(5).label + "|unknown", texts);
    QCOMPARE(groups.size(), size_t(2));
    QCOMPARE(groups[0].items.size(), size_t(1));
    QCOMPARE(groups[0].items[0].group, 4);
    QCOMPARE(groups[1].title, std::string("unknown"));
    QVERIFY(groups[1].items.empty());
    QVERIFY(planMenu("", texts).empty());
}

QTEST_APPLESS_MAIN(TestCombined)
#include "tst_combined.moc"
