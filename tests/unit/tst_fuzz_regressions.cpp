// Inputs the fuzz targets (fuzz/) found breaking a property, kept byte for byte.
#include "catalogue/Gbk.h"

#include <QTest>

class TestFuzzRegressions : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void gbkCutFromTheEnd_data();
    void gbkCutFromTheEnd();
};

void TestFuzzRegressions::gbkCutFromTheEnd_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    const QString broken(QChar::ReplacementCharacter);
    // fuzz_gbk: a cut declared to end clean that cannot have started inside a character (0x12 is
    // no trail byte) lost its first byte to the replacement character.
    QTest::newRow("control byte first")
        << QByteArray("\x12\x30\x31\xC5") << QStringLiteral("\x12") + QStringLiteral("01") + broken;
    // The same with a byte that could be a trail, but whose removal leaves the end broken anyway.
    QTest::newRow("letter first") << QByteArray("A1\xC5") << QStringLiteral("A1") + broken;
    // A real cut from the end: it starts on the second byte of 联 (C1 AA) and ends clean.
    QTest::newRow("split first character")
        << QByteArray("\xAA\xB2\xA5") << broken + QStringLiteral("播");
}

void TestFuzzRegressions::gbkCutFromTheEnd() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(
        gbkToDisplay(std::string_view(bytes.constData(), size_t(bytes.size())), GbkCut::CleanEnd),
        shown);
}

QTEST_APPLESS_MAIN(TestFuzzRegressions)
#include "tst_fuzz_regressions.moc"
