#include "StationFacts.h"
#include "app/CatalogueRun.h"
#include "catalogue/FileIo.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <map>

namespace {

using facts::label;

const CategoryRow& row(int number) {
    return TvStation::categories().at(size_t(number - 1));
}

// Where category `number`'s list file is kept under `dir`.
QString listFile(const QTemporaryDir& dir, int number) {
    return dir.path() + QLatin1String(facts::category(number).listFile);
}

// Keeps the units as plain texts and records what the run did, in order.
class RecordingUnits : public CatalogueUnits {
  public:
    void setStepText(const QString& text) override {
        events.push_back("step " + text.toStdString());
    }
    void setEntryBox(const std::string& text) override { entryBox = text; }
    void appendEntryBox(std::string_view text) override { entryBox.append(text); }
    std::string readEntryBox() override { return entryBox; }
    void appendFinishedBox(std::string_view text) override { finishedBox.append(text); }
    std::string readFinishedBox() override { return finishedBox; }
    void addGroup(const std::string& title, int first, int second) override {
        groups.push_back({title, {}});
        QCOMPARE(first, int(groups.size()));
        QCOMPARE(second, first);
    }
    void addItem(const std::string& title, int group, GbkCut) override {
        groups.at(size_t(group)).second.push_back(title);
    }
    void closeLoadingWindow() override { events.push_back("close"); }
    void reportIncompleteData() override { events.push_back("incomplete"); }

    std::vector<std::string> events;
    std::string entryBox;
    std::string finishedBox;
    std::vector<std::pair<std::string, std::vector<std::string>>> groups;
};

// A loading clock that moves only when the run sleeps, plus a fixed amount per read if asked.
class FakeClock : public RunClock {
  public:
    std::int32_t elapsed() override { return now; }
    void sleepMs(std::int32_t ms) override {
        sleeps.push_back(ms);
        now += std::max(ms, 0);
    }
    std::int32_t now = 0;
    std::vector<std::int32_t> sleeps;
};

// The content section of a page with `entries` entries laid out as the row's anchors expect.
std::string section(const CategoryRow& r, int entries) {
    std::string s;
    for (int i = 0; i < entries; ++i) {
        const std::string t =
            "T" + std::to_string(r.number) + "-" + std::to_string(100 + i) + std::string(8, 'x');
        const std::string l = "/l/" + std::string(35, char('a' + i % 26));
        if (r.titleOffset == 39)
            s += "<strong>" + std::string(31, '.') + t + "<a href=\"" + l + "\">";
        else if (r.titleOffset == 8)
            s += "<strong>" + t + "<a href=\"" + l + "\">";
        else
            s += "<a href=\"" + l + "\">" + t + "</a>";
    }
    return s;
}

std::string page(const CategoryRow& r, int entries) {
    return "<html><body>nav<!--Content Start-->" + section(r, entries) +
           "<!--Content End--></body></html>";
}

} // namespace

class TestCatalogueRun : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pacing();
    void fullRun();
    void failedDownloadsStillFillTheMenu();
    void oneMissingCategoryIsReported();
    void listFilesAreReplacedNotExtended();
    void unwritableFolderKeepsOldFiles();

  private:
    struct Outcome {
        RecordingUnits units;
        FakeClock clock;
        std::vector<std::string> urls;
    };
    void run(Outcome& out, const QString& dir, const std::map<int, std::string>& pages);
};

void TestCatalogueRun::pacing() {
    QCOMPARE(stepPacingWait(row(1), 100), 100);
    QCOMPARE(stepPacingWait(row(1), 199), 100);
    QCOMPARE(stepPacingWait(row(1), 200), 0);
    QCOMPARE(stepPacingWait(row(4), 700), 100);
    QCOMPARE(stepPacingWait(row(4), 800), 0);
    QCOMPARE(stepPacingWait(row(5), 400), 1100);
    QCOMPARE(stepPacingWait(row(5), 900), 600);
    QCOMPARE(stepPacingWait(row(5), 1000), 0);
    QCOMPARE(stepPacingWait(row(5), 2500), 0);
    QCOMPARE(loadingHoldWait(1500), 500);
    QCOMPARE(loadingHoldWait(0), 2000);
    QCOMPARE(loadingHoldWait(2000), 0);
    QCOMPARE(loadingHoldWait(2300), 0);
}

void TestCatalogueRun::run(Outcome& out, const QString& dir,
                           const std::map<int, std::string>& pages) {
    CatalogueRunContext context{out.units, out.clock,
                                [&](const std::string& url) {
                                    out.urls.push_back(url);
                                    for (const auto& [number, body] : pages) {
                                        if (url.ends_with(facts::category(number).pagePath))
                                            return body;
                                    }
                                    return std::string();
                                },
                                dir, TvStation(QStringLiteral("station.test:8080"))};
    CatalogueRun(context);
}

void TestCatalogueRun::fullRun() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("xzwj")));
    Outcome out;
    std::map<int, std::string> pages;
    for (const CategoryRow& r : TvStation::categories())
        pages[r.number] = page(r, facts::category(r.number).entries + 2);
    run(out, dir.path(), pages);

    QCOMPARE(out.urls.front(), "http://station.test:8080/index/4/20100112/100813.shtml");
    QCOMPARE(out.urls.size(), size_t(5));
    const std::vector<std::string> events = {"step 新闻联播...",
                                             "step 药都时空...",
                                             "step 走进农家...",
                                             "step 谯城报道...",
                                             "step 药都论坛...",
                                             "step 正在生成列表...",
                                             "close"};
    QCOMPARE(out.units.events, events);
    // The clock only moves in sleeps here: four 100 ms steps, then row 5 stretches to 1500 and
    // the hold to 2000.
    QCOMPARE(out.clock.sleeps, (std::vector<std::int32_t>{100, 100, 100, 100, 1100, 500}));
    QCOMPARE(out.units.groups.size(), size_t(5));
    for (int number = 1; number <= 5; ++number) {
        const int entries = facts::category(number).entries;
        const auto& [title, items] = out.units.groups[size_t(number - 1)];
        QCOMPARE(title, label(number));
        QCOMPARE(int(items.size()), entries);
        QCOMPARE(items.front(), "T" + std::to_string(number) + "-100xxxxxxxx");
        QCOMPARE(readWholeFile(listFile(dir, number)).value(), section(row(number), entries + 2));
    }
    const std::string spsj = readWholeFile(dir.path() + QStringLiteral("/spsj.txt")).value();
    QCOMPARE(std::count(spsj.begin(), spsj.end(), '\n'), 175L);
    QVERIFY(spsj.ends_with("\r\n"));
    QVERIFY(spsj.starts_with(label(1) + "|T1-100xxxxxxxx|/l/"));
    // The entry box holds the last step's lines only.
    QCOMPARE(out.units.entryBox.substr(0, 9), label(5) + "|");
}

void TestCatalogueRun::failedDownloadsStillFillTheMenu() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("xzwj")));
    Outcome out;
    out.clock.now = 2300; // a slow network: no pacing and no hold
    run(out, dir.path(), {});
    QVERIFY(out.clock.sleeps.empty());
    for (int number = 1; number <= 5; ++number) {
        QCOMPARE(int(out.units.groups[size_t(number - 1)].second.size()),
                 facts::category(number).entries);
        QCOMPARE(fileSize(listFile(dir, number)).value(), 0);
    }
    const std::string spsj = readWholeFile(dir.path() + QStringLiteral("/spsj.txt")).value();
    QVERIFY(spsj.starts_with(label(1) + "||\r\n" + label(1) + "||\r\n"));
    QCOMPARE(out.units.events.back(), std::string("incomplete"));
    QCOMPARE(std::count(out.units.events.begin(), out.units.events.end(), "incomplete"), 1L);
}

void TestCatalogueRun::oneMissingCategoryIsReported() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("xzwj")));
    Outcome out;
    std::map<int, std::string> pages;
    for (int n = 1; n <= 4; ++n)
        pages[n] = page(row(n), 60);
    run(out, dir.path(), pages);
    QCOMPARE(out.units.events.back(), std::string("incomplete"));
    QCOMPARE(out.units.events.end()[-2], std::string("close"));
    QCOMPARE(fileSize(listFile(dir, 5)).value(), 0);

    // A one-byte content section is data.
    Outcome full;
    pages[5] = "<!--Content Start-->x<!--Content End-->";
    run(full, dir.path(), pages);
    QCOMPARE(full.units.events.back(), std::string("close"));
}

void TestCatalogueRun::listFilesAreReplacedNotExtended() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("xzwj")));
    const QString xwlb = listFile(dir, 1);
    QVERIFY(writeFileAtomically(xwlb, std::string(5000, 'o')));
    QVERIFY(writeFileAtomically(dir.path() + QStringLiteral("/spsj.txt"), std::string(9000, 'o')));
    Outcome out;
    run(out, dir.path(), {{1, "<!--Content Start-->new<!--Content End-->"}});
    QCOMPARE(readWholeFile(xwlb).value(), std::string("new"));
    const std::string spsj = readWholeFile(dir.path() + QStringLiteral("/spsj.txt")).value();
    QVERIFY(spsj.find('o') == std::string::npos);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path() + QStringLiteral("/xzwj")).entryList(QDir::Files).size(), 5);
}

void TestCatalogueRun::unwritableFolderKeepsOldFiles() {
    if (geteuid() == 0)
        QSKIP("root writes into read-only folders");
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/xzwj");
    QVERIFY(QDir().mkpath(folder));
    const std::string old = "an older page without markers";
    QVERIFY(writeFileAtomically(listFile(dir, 2), old));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    Outcome out;
    run(out, dir.path(), {{2, "<!--Content Start-->fresh<!--Content End-->"}});
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(readWholeFile(listFile(dir, 2)).value(), old);
    QCOMPARE(out.units.groups[1].second.front(), std::string());
}

QTEST_APPLESS_MAIN(TestCatalogueRun)
#include "tst_catalogue_run.moc"
