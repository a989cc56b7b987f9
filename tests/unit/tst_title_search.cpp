#include "ui/TitleSearch.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestTitleSearch : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void folds_data();
    void folds();
    void finds_data();
    void finds();
};

void TestTitleSearch::folds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    QTest::newRow("full-width digits") << u"０１１２"_s << u"0112"_s;
    QTest::newRow("full-width letters both cases") << u"ＡＢｃ"_s << u"abc"_s;
    QTest::newRow("Latin upper case") << u"CCTV-News"_s << u"cctv-news"_s;
    QTest::newRow("full-width signs and space") << u"（１）\u3000！～"_s << u"(1) !~"_s;
    QTest::newRow("Chinese unchanged") << u"新闻联播"_s << u"新闻联播"_s;
    // Only Latin letters fold: other scripts' cases stay apart.
    QTest::newRow("Greek and accented kept") << u"ΑÉ"_s << u"ΑÉ"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestTitleSearch::folds() {
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(foldForSearch(text), folded);
}

void TestTitleSearch::finds_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<std::vector<int>>("found");
    QTest::newRow("full-width finds half-width") << u"０１１２"_s << std::vector<int>{0, 2};
    QTest::newRow("half-width finds full-width") << u"0112"_s << std::vector<int>{0, 2};
    QTest::newRow("case-insensitive") << u"ccTV"_s << std::vector<int>{3};
    QTest::newRow("substring in the middle") << u"联播"_s << std::vector<int>{0, 1};
    QTest::newRow("no match") << u"天气"_s << std::vector<int>{};
    QTest::newRow("empty finds all") << QString() << std::vector<int>{0, 1, 2, 3};
    QTest::newRow("longer than any title") << u"新闻联播20240112新闻联播"_s << std::vector<int>{};
}

void TestTitleSearch::finds() {
    QFETCH(QString, typed);
    QFETCH(std::vector<int>, found);
    TitleSearch search;
    search.setTitles({u"新闻联播20240112"_s, u"新闻联播20240113"_s, u"药都时空２０２４０１１２"_s,
                      u"CCTV 专题"_s});
    QCOMPARE(search.matches(typed), found);
}

QTEST_GUILESS_MAIN(TestTitleSearch)
#include "tst_title_search.moc"
