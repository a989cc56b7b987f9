#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// Where the build put the programs.
extern const QString kBin;

qint64 monotonicMs();
QByteArray readProcFile(const QString& path);

// The process and everything started under it, found through the parent links in /proc.
std::vector<qint64> processTree(qint64 root);
// Proportional set size, kB.
qint64 pss(qint64 pid);
// A "Name: N kB" field of /proc/PID/status (RssAnon, VmRSS, Threads, ...); -1 when absent.
qint64 statusField(qint64 pid, const char* name);
qint64 treePss(qint64 root);
// Every physical page the tree maps, counted once, in kB: unlike PSS it does not fall when other
// programs on the machine map the same libraries. -1 without the right to read page frames (root).
qint64 treeDistinctKiB(qint64 root);
// True while the process exists and has not ended (a zombie has).
bool processAlive(qint64 pid);
// The web engine's render processes alive in the tree, found by their command lines, whoever
// reported them.
int renderProcesses(qint64 root);
// Clock ticks of user and system time, per process of the tree.
std::map<qint64, qint64> treeCpu(qint64 root);
// CPU seconds the tree spent between two samples; processes that came up in between count
// from zero.
double cpuSecondsBetween(const std::map<qint64, qint64>& before,
                         const std::map<qint64, qint64>& after);
// The CPU share of the tree over `seconds`, and its PSS halfway through (kB). BENCH_VERBOSE=1
// prints every process.
std::pair<double, qint64> cpuWindow(qint64 root, int seconds);
// Samples the tree's PSS until it has settled: three samples in a row within 2 MiB of each
// other, or the deadline.
qint64 settledPss(qint64 root, int timeoutMs);

double median(std::vector<double> values);

// Clicks at a point of a native window, as a user would with the mouse. False when the click
// never reached it.
bool clickInWindow(const QString& window, int x, int y, int clicks = 1);

class Station {
  public:
    // `options` go to velmora-station as they are (--stream-fault drop=N, say).
    explicit Station(const QString& mediaDir, const QStringList& options = {});
    ~Station();
    QString address() const { return address_; }
    // The station logs every request; its pipe must not fill up.
    void drain() { process_.readAll(); }
    // What it logged since last asked, taken out of the pipe.
    QByteArray takeLog();

  private:
    QProcess process_;
    QString address_;
};

// A station that serves the one clip `name` from the build's media, in a folder of its own.
// Null, with the reason printed, when it cannot start.
std::unique_ptr<Station> startClipStation(const QString& name, QTemporaryDir& folder,
                                          const QStringList& options = {});

// The real viewer, a copy of it in a folder of its own, tracing into that folder; `arguments` is
// its command line (a file to play, say).
class Viewer {
  public:
    explicit Viewer(const QString& station, const QStringList& arguments = {});
    ~Viewer();
    // The process started, the root of the tree; under BENCH_VIEWER_WRAP, the wrapper.
    qint64 pid() const { return process_.processId(); }
    // The viewer itself, found in the tree; pid() when there is no wrapper.
    qint64 viewerPid() const;
    QString tracePath() const { return dir_.filePath(QStringLiteral("trace.log")); }

    // The time of the first trace event starting with `prefix`, and the event.
    std::optional<std::pair<qint64, QString>> event(const QString& prefix) const;
    // Every such event, in order.
    std::vector<std::pair<qint64, QString>> events(const QString& prefix) const;
    // Until there are `count` of them; the last, or nullopt at the deadline.
    std::optional<std::pair<qint64, QString>> waitForCount(const QString& prefix, int count,
                                                           int timeoutMs) const;
    std::optional<std::pair<qint64, QString>> waitFor(const QString& prefix, int timeoutMs) const;
    QString trace() const;

  private:
    QTemporaryDir dir_;
    QProcess process_;
};
