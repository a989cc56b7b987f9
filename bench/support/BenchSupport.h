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
qint64 treePss(qint64 root);
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
    explicit Station(const QString& mediaDir);
    ~Station();
    QString address() const { return address_; }
    // The station logs every request; its pipe must not fill up.
    void drain() { process_.readAll(); }

  private:
    QProcess process_;
    QString address_;
};

// A station that serves the one clip `name` from the build's media, in a folder of its own.
// Null, with the reason printed, when it cannot start.
std::unique_ptr<Station> startClipStation(const QString& name, QTemporaryDir& folder);

// The real viewer, a copy of it in a folder of its own, tracing into that folder; `arguments` is
// its command line (a file to play, say).
class Viewer {
  public:
    explicit Viewer(const QString& station, const QStringList& arguments = {});
    ~Viewer();
    qint64 pid() const { return process_.processId(); }

    // The time of the first trace event starting with `prefix`, and the event.
    std::optional<std::pair<qint64, QString>> event(const QString& prefix) const;
    std::optional<std::pair<qint64, QString>> waitFor(const QString& prefix, int timeoutMs) const;
    QString trace() const;

  private:
    QTemporaryDir dir_;
    QProcess process_;
};
