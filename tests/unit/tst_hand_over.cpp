// The message a later start hands to the viewer that keeps the data folder: it arrives whole
// in any pieces, and what is no such message is refused before it can grow without bound.
#include "app/HandOver.h"

#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using State = hand_over::Decoded::State;

class TestHandOver : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void aMessageArrivesWholeInAnyPieces();
    void whatIsNoMessageIsRefused_data();
    void whatIsNoMessageIsRefused();
};

void TestHandOver::aMessageArrivesWholeInAnyPieces() {
    const QStringList locations{u"/tmp/节目 一.wmv"_s, u"mms://tv.example/sp/a.wmv"_s};
    const QByteArray message = hand_over::encode(locations);
    for (qsizetype cut = 0; cut < message.size(); ++cut)
        QCOMPARE(hand_over::decode(message.left(cut)).state, State::Incomplete);
    const hand_over::Decoded whole = hand_over::decode(message);
    QCOMPARE(whole.state, State::Complete);
    QCOMPARE(whole.locations, locations);
    // Only the window asked for.
    const hand_over::Decoded none = hand_over::decode(hand_over::encode({}));
    QCOMPARE(none.state, State::Complete);
    QCOMPARE(none.locations, QStringList());
}

void TestHandOver::whatIsNoMessageIsRefused_data() {
    QTest::addColumn<QByteArray>("received");
    const auto withLength = [](quint32 length, const QByteArray& body) {
        QByteArray bytes("VTV1");
        const quint32 big = qToBigEndian(length);
        bytes.append(reinterpret_cast<const char*>(&big), 4);
        return bytes + body;
    };
    QTest::newRow("another program's greeting") << QByteArray("GET / HTTP/1.1\r\n");
    QTest::newRow("a wrong first byte") << QByteArray("X");
    QTest::newRow("longer than any viewer sends")
        << withLength(quint32(hand_over::kMaxBodyBytes + 1), {});
    QTest::newRow("more than it announced") << withLength(2, "[]]");
    QTest::newRow("not JSON") << withLength(3, "a,b");
    QTest::newRow("not a list") << withLength(7, R"({"a":1})");
    QTest::newRow("not only texts") << withLength(7, R"(["a",1])");
}

void TestHandOver::whatIsNoMessageIsRefused() {
    QFETCH(QByteArray, received);
    QCOMPARE(hand_over::decode(received).state, State::Invalid);
}

QTEST_GUILESS_MAIN(TestHandOver)
#include "tst_hand_over.moc"
