// The advertisement's memory. Pages that take memory the script heap's bound does not cover
// (typed arrays, canvases, WebAssembly memory, DOM nodes) have their render process ended above
// its limit, and the viewer's whole process tree stays bounded through the countdown (see
// runAdAttack); a sound page is there for every countdown and has no render process after one,
// nor once a file plays before any countdown, and nothing loads an OpenGL driver.
#include "HostileChecks.h"

#include <QDeadlineTimer>
#include <QSet>
#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The viewer with its libVLC, the engine's helpers and a render process at its limit (256 MiB of
// its own) come to about 500 MiB; such a page used to take the tree to 2-2.5 GB.
constexpr qint64 kTreeLimitMiB = 640;
constexpr qint64 kRendererGoneMs = 1000;

const QString kPlayingTitle = u"Velmora网络电视——.*"_s;

int countOf(const QStringList& events, const QString& prefix) {
    return int(std::count_if(events.begin(), events.end(),
                             [&](const QString& event) { return event.startsWith(prefix); }));
}

} // namespace

class TestHostileAdMemory : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        station_ = std::make_unique<StationProcess>();
        QVERIFY(station_->started());
    }
    void hoardingPageIsEndedAndViewerGoesOn_data();
    void hoardingPageIsEndedAndViewerGoesOn() {
        QFETCH(AdAttack, attack);
        runAdAttack(*station_, attack);
    }
    void soundPageLivesOnlyThroughEachCountdown();
    void pageKeptForTheFirstCountdownEndsWhenAFilePlays();

  private:
    std::unique_ptr<StationProcess> station_;
};

void TestHostileAdMemory::hoardingPageIsEndedAndViewerGoesOn_data() {
    QTest::addColumn<AdAttack>("attack");
    // Loaded at the start and hidden until the countdown, it hoards from the load on.
    QTest::newRow("from the load")
        << AdAttack{.page = u"outside-heap"_s,
                    .firstSign = beaconLine(u"outside-heap-start=hidden"_s),
                    .outcome = u"ad renderer-over-memory "_s,
                    .treeLimitMiB = kTreeLimitMiB};
    // Idle while hidden, it hoards once the countdown shows it; the countdown may end first.
    QTest::newRow("while shown") << AdAttack{.page = u"outside-heap?while-shown"_s,
                                             .firstSign = beaconLine(u"outside-heap-load=hidden"_s),
                                             .beacons = {u"outside-heap-start=visible"_s},
                                             .treeLimitMiB = kTreeLimitMiB};
}

void TestHostileAdMemory::soundPageLivesOnlyThroughEachCountdown() {
    ViewerProcess viewer;
    viewer.start(station_->address());
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    QVERIFY(viewer.waitForEvent(u"ad renderer-started "_s, kOutcomeMs));

    QSet<QString> renderers;
    for (int round = 1; round <= 2; ++round) {
        // One click that landed: a second one would choose anew.
        const QDeadlineTimer clicking(kOutcomeMs);
        while (!viewer.clickInMainWindow(650, 62) && !clicking.hasExpired())
            QTest::qWait(50);
        QTRY_COMPARE_WITH_TIMEOUT(countOf(viewer.events(), u"selected "_s), round, kOutcomeMs);
        // The page is there for this countdown: the one from the start for the first, loaded
        // anew in a process of its own for the second.
        QTRY_COMPARE_WITH_TIMEOUT(countOf(viewer.events(), u"ad navigation "_s), round, kOutcomeMs);
        QTRY_COMPARE_WITH_TIMEOUT(countOf(viewer.events(), u"ad renderer-started "_s), round,
                                  kOutcomeMs);
        for (const QString& event : viewer.events().filter(u"ad renderer-started "_s))
            renderers << event;
        QCOMPARE(renderers.size(), round);
        QTRY_COMPARE_WITH_TIMEOUT(station_->log().filter(u"GET /ad/ HTTP"_s).size(), round,
                                  kOutcomeMs);

        QTRY_COMPARE_WITH_TIMEOUT(countOf(viewer.events(), u"play mms://"_s), round, kOutcomeMs);
        QList<qint64> times;
        const QStringList events = viewer.events(&times);
        qint64 playAt = 0;
        for (qsizetype i = 0; i < events.size(); ++i) {
            if (events[i].startsWith(u"play mms://"_s))
                playAt = times[i];
        }
        while (monotonicMs() < playAt + kRendererGoneMs)
            QTest::qWait(20);
        QCOMPARE(renderersLeft(viewer), QList<qint64>());
        QTRY_COMPARE_WITH_TIMEOUT(countOf(viewer.events(), u"first-frame"_s), round, kOutcomeMs);
    }
    // The page was shown and the programme painted without OpenGL: its driver (Mesa's software
    // one and LLVM without a GPU, 57 MiB) never loaded.
    QCOMPARE(graphicsDriversMapped(viewer.process().processId()), QStringList());
    // Ended by the viewer at the countdown's end, never for what the page did.
    const QStringList events = viewer.events();
    QCOMPARE(countOf(events, u"ad renderer-released "_s), 2);
    QCOMPARE(countOf(events, u"ad renderer-over-memory"_s), 0);
    QCOMPARE(countOf(events, u"ad renderer-unresponsive"_s), 0);
    QCOMPARE(viewer.endWithKey(kPlayingTitle, u"ctrl+q"_s, kOutcomeMs), 0);
}

void TestHostileAdMemory::pageKeptForTheFirstCountdownEndsWhenAFilePlays() {
    const qsizetype adsBefore = station_->log().filter(u"GET /ad/ HTTP"_s).size();
    ViewerProcess viewer;
    viewer.start(station_->address(), {},
                 {QStringLiteral(VELMORA_TEST_MEDIA_DIR) + u"/demo-long.wmv"_s});
    QVERIFY(viewer.waitForEvent(u"ad renderer-started "_s, kOutcomeMs));
    QVERIFY(viewer.waitForEvent(u"player 正在播放"_s, kOutcomeMs));
    QVERIFY(viewer.waitForEvent(u"ad renderer-released "_s, kOutcomeMs));
    QTRY_COMPARE_WITH_TIMEOUT(renderersLeft(viewer), QList<qint64>(), kOutcomeMs);

    // The first countdown still shows the page, loaded anew in a process of its own, which ends
    // with it.
    QVERIFY(viewer.clickAndWaitFor(650, 62, u"selected "_s, kOutcomeMs));
    QTRY_COMPARE_WITH_TIMEOUT(countOf(viewer.events(), u"ad renderer-started "_s), 2, kOutcomeMs);
    QTRY_COMPARE_WITH_TIMEOUT(station_->log().filter(u"GET /ad/ HTTP"_s).size(), adsBefore + 2,
                              kOutcomeMs);
    QVERIFY(viewer.waitForEvent(u"play mms://"_s, kOutcomeMs));
    QTRY_COMPARE_WITH_TIMEOUT(countOf(viewer.events(), u"ad renderer-released "_s), 2, kOutcomeMs);
    QTRY_COMPARE_WITH_TIMEOUT(renderersLeft(viewer), QList<qint64>(), kOutcomeMs);
    QCOMPARE(viewer.endWithKey(kPlayingTitle, u"ctrl+q"_s, kOutcomeMs), 0);
}

QTEST_GUILESS_MAIN(TestHostileAdMemory)

#include "tst_hostile_ad_memory.moc"
