// The catalogue run on its own thread, handing every unit operation to the real loading window and
// roll-down menu on the UI thread. Built with the thread sanitizer (scripts/sanitize.sh) this is
// the check of the hand-over between the two threads; in the normal suite it checks that the
// blocking hand-over gives the run exactly what it wrote and leaves the menu complete.
//
// The station runs inside this process: the thread sanitizer loses track of a process that has
// started a child while it has threads, and stops reporting.
#include "StationPages.h"
#include "StationServer.h"
#include "app/CatalogueBridge.h"
#include "catalogue/CombinedCatalogue.h"
#include "catalogue/FileIo.h"
#include "catalogue/HttpGet.h"
#include "catalogue/PageExtraction.h"
#include "ui/LoadingWindow.h"
#include "ui/RollDownMenu.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <thread>

namespace {

// The run's clock moves only when the run sleeps, so a run takes no real time and its waits are
// exactly the pacing rules' answers.
class FastClock : public RunClock {
  public:
    std::int32_t elapsed() override { return now_; }
    void sleepMs(std::int32_t ms) override {
        sleeps.push_back(ms);
        now_ += std::max(ms, 0);
    }
    std::vector<std::int32_t> sleeps;

  private:
    std::int32_t now_ = 0;
};

struct RunResult {
    std::vector<std::pair<std::string, std::vector<std::string>>> menu; // group, item titles
    std::string finishedBox;
    std::vector<std::int32_t> sleeps;
    int incompleteReports = 0;
    bool reportedOnUiThread = true;
    bool closedBeforeReport = true;
    bool closedByRun = true;
};

} // namespace

class TestCatalogueThreads : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void runFillsTheWindowsThroughTheHandOver();
    void incompleteDataIsReportedOnTheUiThread();

  private:
    RunResult runOnce(const QString& stationAddress, const QString& dir);
};

namespace {

// The real station on a free loopback port, in this process.
class Station {
  public:
    explicit Station(station::FaultMap faults = {}) {
        station::StationConfig config;
        config.faults = std::move(faults);
        config.mediaDir = VELMORA_TEST_MEDIA_DIR;
        server_ = std::make_unique<station::StationServer>(std::move(config));
        started_ = server_->start();
    }
    bool started() const { return started_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server_->port()); }

  private:
    std::unique_ptr<station::StationServer> server_;
    bool started_ = false;
};

} // namespace

// One start: the loading window's modal loop on this thread, the run on its own, until the run
// closes the window; then whatever the run queued afterwards.
RunResult TestCatalogueThreads::runOnce(const QString& stationAddress, const QString& dir) {
    RunResult result;
    QDir().mkpath(dir + QStringLiteral("/xzwj"));

    RollDownMenu menu;
    menu.resize(152, 440);
    menu.show();
    FastClock clock;
    std::unique_ptr<CatalogueBridge> bridge;
    std::unique_ptr<CatalogueRunContext> run;
    std::thread thread;
    QPointer<LoadingWindow> loadingWindow;

    // Keeps the UI thread busy with the units the run is changing, as painting and input would.
    QTimer busy;
    busy.setInterval(0);
    connect(&busy, &QTimer::timeout, &menu, [&menu] {
        for (int g = 0; g < menu.model().groupCount(); ++g)
            (void)menu.model().itemCount(g);
        menu.update();
    });
    busy.start();

    {
        LoadingWindow loading([&](LoadingWindow& window) {
            loadingWindow = &window;
            bridge = std::make_unique<CatalogueBridge>(&window, &menu.model(), [&] {
                ++result.incompleteReports;
                result.reportedOnUiThread = QThread::currentThread() == qApp->thread();
                result.closedBeforeReport = !(loadingWindow && loadingWindow->isVisible());
            });
            run = std::make_unique<CatalogueRunContext>(CatalogueRunContext{
                *bridge, clock, [](const std::string& url) { return HttpGet(url); }, dir,
                TvStation(stationAddress)});
            thread = std::thread([&run] { CatalogueRun(*run); });
        });
        // Only the run closes the window; if it never does, the test must still end.
        QTimer::singleShot(60000, &loading, [&] {
            result.closedByRun = false;
            loading.closeFromRun();
        });
        loading.exec();
        result.finishedBox = loading.finishedBox().text();
    }
    thread.join();
    // A report is queued to this thread; let it arrive.
    QCoreApplication::processEvents();
    busy.stop();

    // Item indexes count across the menu in the order of adding, which is group order here.
    int index = 0;
    for (int g = 0; g < menu.model().groupCount(); ++g) {
        std::vector<std::string> items;
        for (int i = 0; i < menu.model().itemCount(g); ++i)
            items.push_back(menu.ItemTitle(index++));
        result.menu.emplace_back(menu.model().groupTitle(g), std::move(items));
    }
    result.sleeps = clock.sleeps;
    return result;
}

void TestCatalogueThreads::runFillsTheWindowsThroughTheHandOver() {
    Station station;
    QVERIFY(station.started());
    std::string finished;
    std::vector<std::vector<std::string>> titles;
    for (const CategoryRow& row : TvStation::categories()) {
        finished += row.finishedText;
        titles.emplace_back();
        const std::string section = cutContentSection(station::buildCategoryPage(row.number));
        for (const std::string& line : extractEntryLines(row, section))
            titles.back().emplace_back(itemTitleOf(line).value());
    }

    // Several starts in a row, each with fresh windows, give the two threads many meetings.
    for (int round = 0; round < 3; ++round) {
        QTemporaryDir dir;
        const RunResult result = runOnce(station.address(), dir.path());
        QVERIFY(result.closedByRun);
        QCOMPARE(result.finishedBox, finished);
        QCOMPARE(result.menu.size(), size_t(5));
        for (const CategoryRow& row : TvStation::categories()) {
            const auto& [group, items] = result.menu[size_t(row.number - 1)];
            QCOMPARE(group, row.label);
            QCOMPARE(items, titles[size_t(row.number - 1)]);
        }
        QCOMPARE(result.sleeps, (std::vector<std::int32_t>{100, 100, 100, 100, 1100, 500}));
        QCOMPARE(result.incompleteReports, 0);
        // The run read back what it had appended: spsj.txt holds every line.
        const std::string catalogue =
            readWholeFile(dir.filePath(QStringLiteral("spsj.txt"))).value();
        QCOMPARE(std::count(catalogue.begin(), catalogue.end(), '\n'), 175L);
    }
}

void TestCatalogueThreads::incompleteDataIsReportedOnTheUiThread() {
    Station station({{3, station::Fault::NotFound}});
    QVERIFY(station.started());
    QTemporaryDir dir;
    const RunResult result = runOnce(station.address(), dir.path());
    QVERIFY(result.closedByRun);
    QCOMPARE(result.menu.size(), size_t(5));
    QCOMPARE(result.menu[2].second.size(), size_t(20)); // a failed page still gives its lines
    QCOMPARE(result.incompleteReports, 1);
    QVERIFY(result.reportedOnUiThread);
    QVERIFY(result.closedBeforeReport);
}

QTEST_MAIN(TestCatalogueThreads)
#include "tst_catalogue_threads.moc"
