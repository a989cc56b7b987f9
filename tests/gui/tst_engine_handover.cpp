#include "playback/VlcEngine.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <future>
#include <memory>

using Status = VlcEngine::Status;

namespace {

const QString kShort = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.wav");        // 2.5 s
const QString kMiddle = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-colours.wmv"); // 8 s
const QString kLong = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv");      // 40 s
const EngineOptions kSilent{.audioOutput = "adummy"};

// The lengths libVLC reported while the engine lived: what it really opened.
QList<qint64> reportedLengths(const QSignalSpy& times) {
    QList<qint64> lengths;
    for (const QList<QVariant>& arguments : times) {
        const qint64 length = arguments.at(1).toLongLong();
        if (length > 0 && !lengths.contains(length))
            lengths << length;
    }
    return lengths;
}

bool onlyTheLongClip(const QList<qint64>& lengths) {
    return !lengths.isEmpty() && std::all_of(lengths.begin(), lengths.end(), [](qint64 length) {
        return length > 39000 && length < 41000;
    });
}

} // namespace

// libVLC's player is made on a thread of its own; whatever the UI thread writes meanwhile must
// come out in order: the last write opens, nothing written before it ever plays.
class TestEngineHandover : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void writesWhileTheEngineIsMadeKeepOnlyTheLast();
    void emptyLastWriteLeavesTheNewEngineIdle();
    void writesAtEveryMomentOfTheMaking();
    void destroyedWhileTheEngineIsMade();
};

void TestEngineHandover::writesWhileTheEngineIsMadeKeepOnlyTheLast() {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    VlcEngine engine(kSilent);
    engine.setCreationGate([released] { released.wait(); });
    QSignalSpy times(&engine, &VlcEngine::timesChanged);

    engine.open(kShort);
    engine.prepare();
    engine.open(kMiddle);
    engine.open(QString());
    engine.open(kLong);
    QCOMPARE(engine.status(), Status::Connecting);
    QVERIFY(!engine.playerReady());
    QCOMPARE(engine.location(), kLong);

    release.set_value();
    QTRY_COMPARE_WITH_TIMEOUT(engine.status(), Status::Playing, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!reportedLengths(times).isEmpty(), 5000);
    QVERIFY2(onlyTheLongClip(reportedLengths(times)),
             qPrintable(QString::number(reportedLengths(times).first())));
}

void TestEngineHandover::emptyLastWriteLeavesTheNewEngineIdle() {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    VlcEngine engine(kSilent);
    engine.setCreationGate([released] { released.wait(); });
    QSignalSpy statuses(&engine, &VlcEngine::statusChanged);

    engine.open(kMiddle);
    engine.open(QString());
    QCOMPARE(engine.status(), Status::Idle);
    release.set_value();
    QTRY_VERIFY_WITH_TIMEOUT(engine.playerReady(), 15000);
    // The player is there and was given nothing: the stop stays a stop.
    QCOMPARE(engine.status(), Status::Idle);
    QCOMPARE(statuses.count(), 2); // Connecting, then Idle at the empty write
    QVERIFY(engine.location().isEmpty());
}

// Each round makes a fresh libVLC and writes its second address a little later than the round
// before, so the write falls before, during and after the moment the player arrives.
void TestEngineHandover::writesAtEveryMomentOfTheMaking() {
    for (int round = 0; round < 16; ++round) {
        auto engine = std::make_unique<VlcEngine>(kSilent);
        QSignalSpy times(engine.get(), &VlcEngine::timesChanged);
        engine->open(kMiddle);
        for (int i = 0; i < round; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        engine->open(kLong);
        QTRY_COMPARE_WITH_TIMEOUT(engine->status(), Status::Playing, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!reportedLengths(times).isEmpty(), 5000);
        QVERIFY2(
            onlyTheLongClip(reportedLengths(times)),
            qPrintable(
                QStringLiteral("round %1: %2").arg(round).arg(reportedLengths(times).first())));
        QCOMPARE(engine->location(), kLong);
    }
}

void TestEngineHandover::destroyedWhileTheEngineIsMade() {
    for (int round = 0; round < 8; ++round) {
        auto engine = std::make_unique<VlcEngine>(kSilent);
        engine->open(kLong);
        for (int i = 0; i < round; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        engine.reset(); // must neither crash nor leave libVLC playing into freed buffers
    }
    // Whatever was still posted from the making threads finds no engine and is dropped.
    QCoreApplication::processEvents();
}

QTEST_GUILESS_MAIN(TestEngineHandover)
#include "tst_engine_handover.moc"
