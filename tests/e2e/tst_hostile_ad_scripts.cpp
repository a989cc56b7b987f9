// Advertisement pages whose scripts never let go: loops of alert(), confirm() and prompt(), a
// busy loop and a memory hog. The dialogs must answer as dismissed without a box, the render
// process must be ended (or fail on its own, the hog) and leave a blank panel, and the viewer must
// answer its keys and run the countdown meanwhile (see runAdAttack).
#include "HostileChecks.h"

#include <QCoreApplication>
#include <QTest>

class TestHostileAdScripts : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        station_ = std::make_unique<StationProcess>();
        QVERIFY(station_->started());
    }
    void scriptEndsAndViewerGoesOn_data();
    void scriptEndsAndViewerGoesOn() {
        QFETCH(AdAttack, attack);
        runAdAttack(*station_, attack);
    }

  private:
    std::unique_ptr<StationProcess> station_;
};

void TestHostileAdScripts::scriptEndsAndViewerGoesOn_data() {
    QTest::addColumn<AdAttack>("attack");
    const QString killed = QStringLiteral("ad renderer-ended KilledTerminationStatus");
    QTest::newRow("alert loop") << AdAttack{
        .page = QStringLiteral("alert-loop"),
        .firstSign = QStringLiteral("ad suppressed-alert"),
        .outcome = killed,
        .beacons = {QStringLiteral("alert-loop-returned=undefined")}};
    QTest::newRow("confirm loop") << AdAttack{
        .page = QStringLiteral("confirm-loop"),
        .firstSign = QStringLiteral("ad suppressed-confirm"),
        .outcome = killed,
        .beacons = {QStringLiteral("confirm-loop-returned=false")}};
    QTest::newRow("prompt loop") << AdAttack{
        .page = QStringLiteral("prompt-loop"),
        .firstSign = QStringLiteral("ad suppressed-prompt"),
        .outcome = killed,
        .beacons = {QStringLiteral("prompt-loop-returned=null")}};
    QTest::newRow("busy script") << AdAttack{.page = QStringLiteral("busy"),
                                             .firstSign = beaconLine(QStringLiteral("busy-start")),
                                             .outcome = killed};
    // The script heap is bounded, so the page's own process fails long before the watchdog.
    QTest::newRow("memory hog") << AdAttack{
        .page = QStringLiteral("memory"),
        .firstSign = beaconLine(QStringLiteral("memory-start")),
        .outcome = QStringLiteral("ad renderer-ended CrashedTerminationStatus")};
}

QTEST_GUILESS_MAIN(TestHostileAdScripts)

#include "tst_hostile_ad_scripts.moc"
