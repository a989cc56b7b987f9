#include "BenchSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_set>

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

qint64 statusField(qint64 pid, const char* name) {
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line :
         readProcFile(QStringLiteral("/proc/%1/status").arg(pid)).split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 treePss(qint64 root) {
    qint64 total = 0;
    for (qint64 pid : processTree(root))
        total += pss(pid);
    return total;
}

qint64 treeDistinctKiB(qint64 root) {
    std::unordered_set<quint64> frames;
    bool readable = false;
    for (qint64 pid : processTree(root)) {
        const int pagemap =
            ::open(qPrintable(QStringLiteral("/proc/%1/pagemap").arg(pid)), O_RDONLY);
        if (pagemap < 0)
            continue;
        // Only the mappings with pages in memory: the engine reserves many GiB it never touches.
        quint64 start = 0;
        quint64 end = 0;
        for (const QByteArray& line :
             readProcFile(QStringLiteral("/proc/%1/smaps").arg(pid)).split('\n')) {
            const qsizetype dash = line.indexOf('-');
            const qsizetype space = line.indexOf(' ');
            if (dash > 0 && space > dash && !line.startsWith("Rss:")) {
                bool ok = false;
                const quint64 from = line.left(dash).toULongLong(&ok, 16);
                if (ok) {
                    start = from;
                    end = line.mid(dash + 1, space - dash - 1).toULongLong(nullptr, 16);
                }
                continue;
            }
            if (!line.startsWith("Rss:") || line.mid(4).trimmed().startsWith("0 "))
                continue;
            std::vector<quint64> entries((end - start) / 4096);
            const ssize_t got = ::pread(pagemap, entries.data(), entries.size() * sizeof(quint64),
                                        off_t(start / 4096 * sizeof(quint64)));
            for (ssize_t i = 0; i < got / ssize_t(sizeof(quint64)); ++i) {
                // Bit 63: present; bits 0-54: the frame, zero to the unprivileged.
                const quint64 entry = entries[size_t(i)];
                const quint64 frame = entry & ((quint64(1) << 55) - 1);
                if (entry >> 63 && frame) {
                    frames.insert(frame);
                    readable = true;
                }
            }
        }
        ::close(pagemap);
    }
    return readable ? qint64(frames.size()) * 4 : -1;
}

bool processAlive(qint64 pid) {
    const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.mid(close + 2, 1) != "Z";
}

namespace {

qint64 parentOf(qint64 pid) {
    const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 ? stat.mid(close + 2).split(' ').value(1).toLongLong() : 0;
}

bool commandHas(qint64 pid, const char* text) {
    return readProcFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).contains(text);
}

} // namespace

int renderProcesses(qint64 root) {
    int found = 0;
    for (qint64 pid : processTree(root)) {
        // A render process forked by the engine's zygote keeps the zygote's command line.
        if (pid != root && processAlive(pid) &&
            (commandHas(pid, "--type=renderer") ||
             (commandHas(pid, "--type=zygote") && commandHas(parentOf(pid), "--type=zygote"))))
            ++found;
    }
    return found;
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

Station::Station(const QString& mediaDir, const QStringList& options) {
    process_.start(kBin + QStringLiteral("/velmora-station"),
                   QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                               QStringLiteral("--media"), mediaDir} +
                       options);
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

QByteArray Station::takeLog() {
    // Without an event loop the pipe is read only when asked to.
    while (process_.waitForReadyRead(0)) {
    }
    return process_.readAll();
}

std::unique_ptr<Station> startClipStation(const QString& name, QTemporaryDir& folder,
                                          const QStringList& options) {
    if (!QFile::link(kBin + QStringLiteral("/../media/") + name, folder.filePath(name))) {
        std::printf("no %s beside the binaries\n", qPrintable(name));
        return nullptr;
    }
    auto station = std::make_unique<Station>(folder.path(), options);
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
    // BENCH_VIEWER_WRAP runs the viewer under a tool: "heaptrack --record-only -o /tmp/h", say.
    QStringList command = QProcess::splitCommand(qEnvironmentVariable("BENCH_VIEWER_WRAP"));
    command << dir_.filePath(QStringLiteral("velmora-tv")) << arguments;
    process_.start(command.takeFirst(), command);
    process_.waitForStarted();
}

qint64 Viewer::viewerPid() const {
    const QString program = dir_.filePath(QStringLiteral("velmora-tv"));
    for (qint64 pid : processTree(pid())) {
        if (QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)) == program)
            return pid;
    }
    return pid();
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

std::vector<std::pair<qint64, QString>> Viewer::events(const QString& prefix) const {
    std::vector<std::pair<qint64, QString>> found;
    const QByteArray trace = readProcFile(dir_.filePath(QStringLiteral("trace.log")));
    for (const QByteArray& raw : trace.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        if (space > 0 && line.mid(space + 1).startsWith(prefix))
            found.emplace_back(line.left(space).toLongLong(), line.mid(space + 1));
    }
    return found;
}

std::optional<std::pair<qint64, QString>> Viewer::waitForCount(const QString& prefix, int count,
                                                               int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        const auto found = events(prefix);
        if (int(found.size()) >= count)
            return found[size_t(count) - 1];
        if (deadline.hasExpired())
            return std::nullopt;
        QThread::msleep(5);
    }
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
