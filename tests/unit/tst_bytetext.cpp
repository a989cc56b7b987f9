#include "catalogue/ByteText.h"

#include <QTest>

using Pieces = std::vector<std::string>;

class TestByteText : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void findText();
    void midText_data();
    void midText();
    void splitText_data();
    void splitText();
};

void TestByteText::findText() {
    const std::string text = "<a><b><a>";
    QCOMPARE(FindText(text, "<a>"), 1);
    QCOMPARE(FindText(text, "<a>", 2), 7);
    QCOMPARE(FindText(text, "<a>", 7), 7);
    QCOMPARE(FindText(text, "<a>", 8), -1);
    QCOMPARE(FindText(text, "<c>"), -1);
    // A search that follows a miss starts below 1: it searches from the beginning.
    QCOMPARE(FindText(text, "<b>", 0), 4);
    QCOMPARE(FindText(text, "<b>", -14), 4);
    QCOMPARE(FindText(text, "<a>", 100), -1);
    QCOMPARE(FindText({}, "<a>"), -1);
    QCOMPARE(FindText("<A>", "<a>"), -1);
    // GBK bytes are matched as bytes, NUL included.
    const std::string withNul("x\0<a>", 5);
    QCOMPARE(FindText(withNul, "<a>"), 3);
}

void TestByteText::midText_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("inside") << 2 << 3 << QByteArray("bcd");
    QTest::newRow("runs past the end") << 5 << 14 << QByteArray("efg");
    QTest::newRow("starts behind the end") << 8 << 3 << QByteArray();
    QTest::newRow("zero count") << 1 << 0 << QByteArray();
    QTest::newRow("negative count") << 1 << -5 << QByteArray();
    QTest::newRow("window partly before the text") << -2 << 6 << QByteArray("abc");
    QTest::newRow("window wholly before the text") << -15 << 14 << QByteArray();
    QTest::newRow("window ends at position 0") << -13 << 14 << QByteArray();
    QTest::newRow("window ends at position 1") << -12 << 14 << QByteArray("a");
}

void TestByteText::midText() {
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(MidText("abcdefg", start, count)), expected);
}

void TestByteText::splitText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::newRow("empty text gives no piece")
        << QByteArray() << QByteArray("|") << QList<QByteArray>{};
    QTest::newRow("trailing separator gives no empty piece")
        << QByteArray("a\r\nb\r\n") << QByteArray("\r\n") << QList<QByteArray>{"a", "b"};
    QTest::newRow("no trailing separator")
        << QByteArray("a|b") << QByteArray("|") << QList<QByteArray>{"a", "b"};
    QTest::newRow("adjacent separators enclose an empty piece")
        << QByteArray("a||b") << QByteArray("|") << QList<QByteArray>{"a", "", "b"};
    QTest::newRow("leading separator")
        << QByteArray("|a") << QByteArray("|") << QList<QByteArray>{"", "a"};
    QTest::newRow("separator alone") << QByteArray("|") << QByteArray("|") << QList<QByteArray>{""};
    QTest::newRow("lone CR is no separator")
        << QByteArray("a\rb\r\n") << QByteArray("\r\n") << QList<QByteArray>{"a\rb"};
}

void TestByteText::splitText() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, separator);
    QFETCH(QList<QByteArray>, pieces);
    QList<QByteArray> actual;
    // The pieces point into the text, which must outlive the loop.
    const std::string bytes = text.toStdString();
    for (std::string_view piece : SplitText(bytes, separator.toStdString()))
        actual << QByteArray(piece.data(), qsizetype(piece.size()));
    QCOMPARE(actual, pieces);
}

QTEST_APPLESS_MAIN(TestByteText)
#include "tst_bytetext.moc"
