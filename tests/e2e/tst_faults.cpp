// The real viewer against a station that misbehaves: every fault must end within the download
// limits with exactly the outcome the catalogue's rules give, and nothing may crash.
//
// Rows are fetched one after the other, so the faults that run into the 20 s limit (stall,
// stall-mid, drip) each get their own viewer, and all viewers run at once. The quick faults share
// the remaining rows, where each row's outcome can be checked on its own. The slow fault goes on
// row 1: the run is then behind its pacing schedule, so the later rows' times are the faults' own.
#include "Faults.h"
#include "Processes.h"
#include "StationPages.h"
#include "catalogue/CombinedCatalogue.h"
#include "catalogue/FileIo.h"
#include "catalogue/Gbk.h"
#include "catalogue/HttpGet.h"
#include "catalogue/PageExtraction.h"
#include "catalogue/TvStation.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <arpa/inet.h>
#include <array>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Within the 20 s whole-request limit plus the step's own work and its pacing wait (row 5 waits
// up to 1500 ms), with room for a loaded machine.
constexpr qint64 kSlowFaultBoundMs = 20000 + 4000;
// Faults that a sound client notices at once.
constexpr qint64 kQuickFaultBoundMs = 5000;

const QStringList kSlowFaults = {QStringLiteral("stall"), QStringLiteral("stall-mid"),
                                 QStringLiteral("drip")};

// A loopback port on which nothing listens: bound once to learn a free number, then closed.
quint16 closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct Scenario {
    QString name;
    std::map<int, QString> faults; // row -> station fault mode; "refused" for no station at all
    bool refused = false;
    std::unique_ptr<StationProcess> station;
    std::unique_ptr<ViewerProcess> viewer;
    CategoryTexts pages;  // what each row's download should give
    bool complete = true; // every list file should hold data

    QString faultOf(int row) const {
        const auto it = faults.find(row);
        return it == faults.end() ? QString() : it->second;
    }
};

// The bytes a sound download gives for a row: the page as the station builds it, changed by the
// fault, or nothing at all when the fault leaves no usable answer.
std::string expectedPage(const Scenario& s, int row) {
    if (s.refused)
        return {};
    const QString fault = s.faultOf(row);
    const std::string page = station::buildCategoryPage(row);
    if (fault.isEmpty())
        return page;
    if (fault == QLatin1String("nul"))
        return station::pageWithNuls(page);
    if (fault == QLatin1String("markers-reversed"))
        return station::pageWithMarkersReversed(page);
    if (fault == QLatin1String("no-start"))
        return station::pageWithoutStart(page);
    if (fault == QLatin1String("no-end"))
        return station::pageWithoutEnd(page);
    if (fault == QLatin1String("garbage")) // a complete 200 answer of random bytes
        return HttpGet("http://" + s.station->address().toStdString() +
                       TvStation::categories()[size_t(row - 1)].pagePath);
    return {};
}

// Presses a key in this viewer's own window of that title: several viewers are up at once, and a
// key must never reach another one's window.
int endWithKeyIn(ViewerProcess& viewer, const QString& title, const QString& key, int timeoutMs) {
    const QString pid = QString::number(viewer.process().processId());
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--all"),
                       QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), pid,
                       QStringLiteral("--name"), QStringLiteral("^") + title + QStringLiteral("$"),
                       QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                       QStringLiteral("key"), key});
        xdotool.waitForFinished(15000);
        if (viewer.process().waitForFinished(1000))
            return viewer.process().exitStatus() == QProcess::NormalExit
                       ? viewer.process().exitCode()
                       : -1;
    }
    return -1;
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void everyFaultEndsWithTheCatalogueOutcome();

  private:
    void start(Scenario& s);
    void check(Scenario& s);
};

void TestFaults::start(Scenario& s) {
    QStringList arguments;
    for (const auto& [row, mode] : s.faults)
        arguments << QStringLiteral("--fault") << QStringLiteral("%1=%2").arg(row).arg(mode);
    QString address = QStringLiteral("127.0.0.1:%1").arg(closedPort());
    if (!s.refused) {
        s.station = std::make_unique<StationProcess>(arguments);
        QVERIFY(s.station->started());
        address = s.station->address();
    }
    s.viewer = std::make_unique<ViewerProcess>();
    // Files of an earlier start, which every step must replace, not extend or keep.
    const QString dir = s.viewer->programDirectory();
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/xzwj")));
    for (const CategoryRow& row : TvStation::categories())
        QVERIFY(writeFileAtomically(dir + row.listFile, "left from an earlier start"));
    QVERIFY(writeFileAtomically(dir + QStringLiteral("/spsj.txt"), "left from an earlier start"));
    s.viewer->start(address);

    for (const CategoryRow& row : TvStation::categories()) {
        s.pages[size_t(row.number - 1)] = expectedPage(s, row.number);
        if (cutContentSection(s.pages[size_t(row.number - 1)]).empty())
            s.complete = false;
    }
}

void TestFaults::check(Scenario& s) {
    ViewerProcess& viewer = *s.viewer;
    const QString outcome =
        s.complete ? QStringLiteral("ready") : QStringLiteral("incomplete-data");
    // One slow fault per viewer at most, so a minute covers any loaded machine.
    QVERIFY2(viewer.waitForEvent(outcome, 60000),
             qPrintable(s.name + QLatin1Char('\n') + viewer.events().join(QLatin1Char('\n'))));

    // The list files, spsj.txt and the menu, exactly as the rules make them from what arrived.
    const QString dir = viewer.programDirectory();
    CategoryTexts lines;
    std::string finished;
    for (const CategoryRow& row : TvStation::categories()) {
        const std::string section = cutContentSection(s.pages[size_t(row.number - 1)]);
        const std::optional<std::string> listFile = readWholeFile(dir + row.listFile);
        QVERIFY2(listFile == section,
                 qPrintable(s.name + QStringLiteral(" row %1").arg(row.number)));
        for (const std::string& line : extractEntryLines(row, section))
            lines[size_t(row.number - 1)] += line;
        finished += row.finishedText;
    }
    QCOMPARE(readWholeFile(dir + QStringLiteral("/spsj.txt")).value(), combineCatalogue(lines));
    QStringList groups;
    for (const MenuGroupPlan& group : planMenu(finished, lines))
        groups
            << QStringLiteral("group %1 %2").arg(gbkToDisplay(group.title)).arg(group.items.size());

    // Each row's time from its step text to the next one: the fault's time to its outcome.
    QList<qint64> times;
    const QStringList events = viewer.events(&times);
    QCOMPARE(events.filter(QRegularExpression(QStringLiteral("^group "))), groups);
    QList<qint64> steps;
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (events[i].startsWith(QLatin1String("step ")))
            steps << times[i];
    }
    QCOMPARE(steps.size(), 6); // five categories, then the combined list
    for (const CategoryRow& row : TvStation::categories()) {
        const QString fault = s.refused ? QStringLiteral("refused") : s.faultOf(row.number);
        if (fault.isEmpty())
            continue;
        const qint64 ms = steps[row.number] - steps[row.number - 1];
        const qint64 bound = kSlowFaults.contains(fault) ? kSlowFaultBoundMs : kQuickFaultBoundMs;
        const qint64 bytes = fileSize(dir + row.listFile).value_or(-1);
        qInfo("fault %-16s row %d: %6lld ms to %s", qPrintable(fault), row.number, ms,
              bytes == 0 ? "an empty list file"
                         : qPrintable(QStringLiteral("a list file of %1 bytes").arg(bytes)));
        QVERIFY2(ms <= bound, qPrintable(QStringLiteral("%1: %2 ms").arg(fault).arg(ms)));
    }

    const auto timeOf = [&](const QString& prefix) {
        for (qsizetype i = 0; i < events.size(); ++i) {
            if (events[i].startsWith(prefix))
                return times[i];
        }
        return qint64(-1);
    };
    const qint64 startedAt = timeOf(QStringLiteral("process-started"));
    const qint64 endedAt = timeOf(outcome);
    qInfo("%-30s %6lld ms from process start to %s", qPrintable(s.name), endedAt - startedAt,
          qPrintable(outcome));
}

void TestFaults::everyFaultEndsWithTheCatalogueOutcome() {
    std::vector<Scenario> scenarios(5);
    scenarios[0].name = QStringLiteral("stall + quick faults");
    scenarios[0].faults = {{1, QStringLiteral("stall")},
                           {2, QStringLiteral("404")},
                           {3, QStringLiteral("truncated")},
                           {4, QStringLiteral("nul")},
                           {5, QStringLiteral("no-start")}};
    scenarios[1].name = QStringLiteral("stall-mid + quick faults");
    scenarios[1].faults = {{1, QStringLiteral("stall-mid")},
                           {2, QStringLiteral("redirect-loop")},
                           {3, QStringLiteral("garbage")},
                           {4, QStringLiteral("markers-reversed")},
                           {5, QStringLiteral("huge")}};
    scenarios[2].name = QStringLiteral("drip + quick faults");
    scenarios[2].faults = {{1, QStringLiteral("drip")},
                           {2, QStringLiteral("no-end")},
                           {3, QStringLiteral("redirect-ftp")},
                           {4, QStringLiteral("oversize")},
                           {5, QStringLiteral("close")}};
    scenarios[3].name = QStringLiteral("connection refused");
    scenarios[3].refused = true;
    // The two faults that still leave data: the start succeeds.
    scenarios[4].name = QStringLiteral("NUL bytes + no start marker");
    scenarios[4].faults = {{1, QStringLiteral("nul")}, {2, QStringLiteral("no-start")}};

    QElapsedTimer clock;
    clock.start();
    for (Scenario& s : scenarios) {
        start(s);
        if (QTest::currentTestFailed())
            return;
    }
    for (Scenario& s : scenarios) {
        check(s);
        if (QTest::currentTestFailed())
            return;
    }

    // The message, then exit code 1; a start that got everything ends normally with Ctrl+Q. The
    // failed starts go first so that no Ctrl+Q can land while one of them waits for its message.
    for (Scenario& s : scenarios) {
        if (s.complete)
            continue;
        QCOMPARE(endWithKeyIn(*s.viewer, QStringLiteral("错误！"), QStringLiteral("Return"), 20000),
                 1);
    }
    for (Scenario& s : scenarios) {
        if (!s.complete)
            continue;
        QVERIFY(!s.viewer->events().contains(QStringLiteral("incomplete-data")));
        QCOMPARE(endWithKeyIn(*s.viewer, QStringLiteral("Velmora网络电视"),
                              QStringLiteral("ctrl+q"), 20000),
                 0);
    }
    qInfo("all fault runs: %lld ms", clock.elapsed());
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
