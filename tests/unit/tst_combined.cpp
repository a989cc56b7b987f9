#include "StationFacts.h"
#include "catalogue/CombinedCatalogue.h"

#include <QTest>

namespace {
using facts::label;

// The finished labels after a whole run, as the run leaves them in 编辑框2.
std::string finishedAll() {
    return label(1) + "|" + label(2) + "|" + label(3) + "|" + label(4) + "|" + label(5);
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
    for (int number = 1; number <= 5; ++number) {
        for (int i = 0; i < facts::category(number).entries; ++i)
            texts[size_t(number - 1)] += label(number) + "|T" + std::to_string(i % 3) + "|L\r\n";
    }
    const auto groups = planMenu(finishedAll(), texts);
    QCOMPARE(groups.size(), size_t(5));
    for (int number = 1; number <= 5; ++number) {
        const MenuGroupPlan& g = groups[size_t(number - 1)];
        QCOMPARE(g.title, label(number));
        QCOMPARE(g.ordinal, number);
        QCOMPARE(int(g.items.size()), facts::category(number).entries);
        // Equal titles stay separate items; every item goes to its category's group.
        QCOMPARE(titles(g).mid(0, 4), (QList<QByteArray>{"T0", "T1", "T2", "T0"}));
        for (const MenuItemPlan& item : g.items) {
            QCOMPARE(item.group, number - 1);
            QCOMPARE(item.cut, number == 5 ? GbkCut::CleanEnd : GbkCut::CleanStart);
        }
    }
}

void TestCombined::brokenLines() {
    CategoryTexts texts;
    // A title holding "|" shows only its part before the "|"; one holding CR LF splits its
    // line into a fragment with a "|" (an item) and one without (skipped); empty titles stay.
    texts[0] = label(1) + "|ab|cd|link\r\n" + label(1) + "|x\r\ny|link\r\n" + label(1) +
               "||link\r\n" + "\r\n";
    const auto groups = planMenu(finishedAll(), texts);
    QCOMPARE(titles(groups[0]), (QList<QByteArray>{"ab", "x", "link", ""}));
    for (size_t g = 1; g < groups.size(); ++g)
        QVERIFY(groups[g].items.empty());
}

void TestCombined::unknownAndMissingGroups() {
    CategoryTexts texts;
    texts[4] = label(5) + "|t|l\r\n";
    // The group index comes from the label, not from the group's place in the list.
    const auto groups = planMenu(label(5) + "|unknown", texts);
    QCOMPARE(groups.size(), size_t(2));
    QCOMPARE(groups[0].items.size(), size_t(1));
    QCOMPARE(groups[0].items[0].group, 4);
    QCOMPARE(groups[1].title, std::string("unknown"));
    QVERIFY(groups[1].items.empty());
    QVERIFY(planMenu("", texts).empty());
}

QTEST_APPLESS_MAIN(TestCombined)
#include "tst_combined.moc"
