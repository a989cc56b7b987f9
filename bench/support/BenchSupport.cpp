#include "BenchSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

const QString kBin = QStringLiteral(VELMORA_BIN_DIR);

qint64 monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QByteArray readProcFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::vector<qint64> processTree(qint64 root) {
    std::multimap<qint64, qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1)
            children.emplace(fields[1].toLongLong(), pid);
    }
    std::vector<qint64> tree{root};
    for (size_t i = 0; i < tree.size(); ++i) {
        const auto [begin, end] = children.equal_range(tree[i]);
        for (auto it = begin; it != end; ++it)
            tree.push_back(it->second);
    }
    return tree;
}

qint64 pss(qint64 pid) {
    for (const QByteArray& line :
         readProcFile(QStringLiteral("/proc/%1/smaps_rollup").arg(pid)).split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

qint64 treePss(qint64 root) {
    qint64 total = 0;
    for (qint64 pid : processTree(root))
        total += pss(pid);
    return total;
}

std::map<qint64, qint64> treeCpu(qint64 root) {
    std::map<qint64, qint64> ticks;
    for (qint64 pid : processTree(root)) {
        const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        // After the name: state(0) ppid(1) ... utime(11) stime(12).
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 12)
            ticks[pid] = fields[11].toLongLong() + fields[12].toLongLong();
    }
    return ticks;
}

double cpuSecondsBetween(const std::map<qint64, qint64>& before,
                         const std::map<qint64, qint64>& after) {
    qint64 ticks = 0;
    for (const auto& [pid, t] : after) {
        const auto it = before.find(pid);
        ticks += t - (it == before.end() ? 0 : it->second);
    }
    return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

double median(std::vector<double> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool clickInWindow(const QString& window, int x, int y, int clicks) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                   QString::number(x), QString::number(y), QStringLiteral("click"),
                   QStringLiteral("--repeat"), QString::number(clicks), QStringLiteral("1")});
    return xdotool.waitForFinished(15000) && xdotool.exitCode() == 0;
}

Station::Station(const QString& mediaDir) {
    process_.start(
        kBin + QStringLiteral("/velmora-station"),
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--media"), mediaDir});
    // A loaded machine may take seconds to start it: only the deadline ends the wait.
    const QDeadlineTimer deadline(10000);
    while (address_.isEmpty() && !deadline.hasExpired() &&
           process_.state() != QProcess::NotRunning) {
        process_.waitForReadyRead(100);
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).trimmed();
            if (line.startsWith(QLatin1String("listening on ")))
                address_ = line.mid(13);
        }
    }
}

Station::~Station() {
    process_.terminate();
    if (!process_.waitForFinished(3000))
        process_.kill();
    process_.waitForFinished(3000);
}

std::unique_ptr<Station> startClipStation(const QString& name, QTemporaryDir& folder) {
    if (!QFile::link(kBin + QStringLiteral("/../media/") + name, folder.filePath(name))) {
        std::printf("no %s beside the binaries\n", qPrintable(name));
        return nullptr;
    }
    auto station = std::make_unique<Station>(folder.path());
    if (station->address().isEmpty()) {
        std::printf("the station did not start\n");
        return nullptr;
    }
    return station;
}

Viewer::Viewer(const QString& station, const QStringList& arguments) {
    // BENCH_VIEWER names another build of the viewer, to hold one change against another.
    const QString program = qEnvironmentVariableIsSet("BENCH_VIEWER")
                                ? qEnvironmentVariable("BENCH_VIEWER")
                                : kBin + QStringLiteral("/velmora-tv");
    QFile::copy(program, dir_.filePath(QStringLiteral("velmora-tv")));
    QFile::setPermissions(dir_.filePath(QStringLiteral("velmora-tv")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::copy(kBin + QStringLiteral("/软件特性.txt"),
                dir_.filePath(QStringLiteral("软件特性.txt")));
    QStringList env = QProcess::systemEnvironment();
    env << QStringLiteral("VELMORA_STATION=") + station
        << QStringLiteral("VELMORA_AD_URL=http://") + station + QStringLiteral("/ad/")
        << QStringLiteral("VELMORA_TRACE=") + dir_.filePath(QStringLiteral("trace.log"))
        << QStringLiteral("VELMORA_AUDIO_OUTPUT=adummy");
    process_.setEnvironment(env);
    process_.setWorkingDirectory(QDir::tempPath());
    process_.setStandardOutputFile(dir_.filePath(QStringLiteral("output.log")));
    process_.setStandardErrorFile(dir_.filePath(QStringLiteral("output.log")), QIODevice::Append);
    process_.start(dir_.filePath(QStringLiteral("velmora-tv")), arguments);
    process_.waitForStarted();
}

Viewer::~Viewer() {
    // The web engine's helpers are ours too; end each by its id once the viewer is gone.
    const std::vector<qint64> tree = processTree(pid());
    process_.kill();
    process_.waitForFinished(5000);
    for (qint64 child : tree)
        if (child != tree.front())
            ::kill(pid_t(child), SIGKILL);
}

std::optional<std::pair<qint64, QString>> Viewer::event(const QString& prefix) const {
    const QByteArray trace = readProcFile(dir_.filePath(QStringLiteral("trace.log")));
    for (const QByteArray& raw : trace.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        if (space > 0 && line.mid(space + 1).startsWith(prefix))
            return std::pair(line.left(space).toLongLong(), line.mid(space + 1));
    }
    return std::nullopt;
}

std::optional<std::pair<qint64, QString>> Viewer::waitFor(const QString& prefix,
                                                          int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        if (auto found = event(prefix))
            return found;
        if (deadline.hasExpired())
            return std::nullopt;
        QThread::msleep(5);
    }
}

QString Viewer::trace() const {
    return QString::fromUtf8(readProcFile(dir_.filePath(QStringLiteral("trace.log"))));
}

qint64 settledPss(qint64 root, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    std::vector<qint64> samples;
    while (!deadline.hasExpired()) {
        samples.push_back(treePss(root));
        const size_t n = samples.size();
        if (n >= 3 && processTree(root).size() > 1 &&
            std::max({samples[n - 1], samples[n - 2], samples[n - 3]}) -
                    std::min({samples[n - 1], samples[n - 2], samples[n - 3]}) <
                2048)
            break;
        QThread::msleep(500);
    }
    return samples.empty() ? 0 : samples.back();
}

std::pair<double, qint64> cpuWindow(qint64 root, int seconds) {
    const auto before = treeCpu(root);
    const qint64 start = monotonicMs();
    QThread::msleep(ulong(seconds) * 500);
    const qint64 memory = treePss(root);
    QThread::msleep(ulong(seconds) * 500);
    const auto after = treeCpu(root);
    const double elapsed = double(monotonicMs() - start) / 1000;
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE")) {
        for (const auto& [pid, t] : after) {
            const auto it = before.find(pid);
            const QByteArray comm = readProcFile(QStringLiteral("/proc/%1/cmdline").arg(pid));
            std::printf("    pid %lld %.1f%% pss %.1f MiB %s\n", pid,
                        double(t - (it == before.end() ? 0 : it->second)) /
                            double(sysconf(_SC_CLK_TCK)) / elapsed * 100,
                        double(pss(pid)) / 1024, comm.left(120).replace('\0', ' ').constData());
        }
    }
    return {cpuSecondsBetween(before, after) / elapsed, memory};
}
