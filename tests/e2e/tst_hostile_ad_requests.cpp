// Advertisement pages that ask for more than a banner gets: reloads and redirects without end,
// pop-up windows, file: and other non-web navigations, a file chooser, fullscreen and
// permissions. None of it may be granted, a reloading page must settle within its budget, and the
// viewer must answer its keys and run the countdown meanwhile (see runAdAttack).
#include "HostileChecks.h"

#include <QCoreApplication>
#include <QTest>

class TestHostileAdRequests : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        station_ = std::make_unique<StationProcess>();
        QVERIFY(station_->started());
    }
    void pageGetsNothingAndViewerGoesOn_data();
    void pageGetsNothingAndViewerGoesOn() {
        QFETCH(AdAttack, attack);
        runAdAttack(*station_, attack);
    }

  private:
    std::unique_ptr<StationProcess> station_;
};

void TestHostileAdRequests::pageGetsNothingAndViewerGoesOn_data() {
    QTest::addColumn<AdAttack>("attack");
    const QString overBudget = QStringLiteral("ad refused-navigation over the budget");
    QTest::newRow("meta refresh 0")
        << AdAttack{.page = QStringLiteral("meta-refresh"),
                    .firstSign = beaconLine(QStringLiteral("meta-refresh-load")),
                    .outcome = overBudget,
                    .navigations = 6};
    QTest::newRow("reload loop") << AdAttack{.page = QStringLiteral("reload-loop"),
                                             .firstSign =
                                                 beaconLine(QStringLiteral("reload-loop-load")),
                                             .outcome = overBudget,
                                             .navigations = 6};
    QTest::newRow("redirect loop") << AdAttack{.page = QStringLiteral("redirect-loop"),
                                               .firstSign = QStringLiteral("ad navigation"),
                                               .outcome = overBudget,
                                               .navigations = 6};
    QTest::newRow("pop-ups") << AdAttack{
        .page = QStringLiteral("popups"),
        .firstSign = beaconLine(QStringLiteral("popups-onload=")),
        .beacons = {QStringLiteral("popups-onload=true"), QStringLiteral("popups-loop-opened=0")},
        .clickAd = true,
        .clickOutcome = QStringLiteral("ad refused-window"),
        // With a click behind it, window.open() hands the page a window object; the window itself
        // is never made, and nothing is loaded into it.
        .clickBeacons = {QStringLiteral("popups-click="), QStringLiteral("popups-click-done")},
        .never = QStringLiteral("hostile/popups\\?child")};
    QTest::newRow("file: and other schemes") << AdAttack{
        .page = QStringLiteral("schemes"),
        .firstSign = beaconLine(QStringLiteral("schemes-fetch=")),
        .beacons = {QStringLiteral("schemes-fetch=refused"), QStringLiteral("schemes-still-here")},
        .clickAd = true,
        .clickOutcome = QStringLiteral("ad refused-file-chooser"),
        .clickBeacons = {QStringLiteral("schemes-click-still-here")},
        .never = QStringLiteral("schemes-fetch=read")};
    QTest::newRow("permissions and fullscreen")
        << AdAttack{.page = QStringLiteral("permissions"),
                    .firstSign = QStringLiteral("ad refused-permission Notifications"),
                    .beacons = {QStringLiteral("permissions-plugins=0"),
                                QStringLiteral("permissions-notification=denied"),
                                QStringLiteral("permissions-fullscreen="),
                                QStringLiteral("permissions-media=")},
                    .clickAd = true,
                    .clickBeacons = {QStringLiteral("permissions-click-fullscreen="),
                                     QStringLiteral("permissions-click-clipboard=")},
                    .never = QStringLiteral("permissions-[a-z-]+=(granted|read)")};
}

QTEST_GUILESS_MAIN(TestHostileAdRequests)

#include "tst_hostile_ad_requests.moc"
