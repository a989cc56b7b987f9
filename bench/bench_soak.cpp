// A long session: the real viewer plays programme after programme against a station that breaks
// every stream off, and the memory of the viewer and of its process tree is sampled each minute.
// The station serves the 40 s, 640 x 480 clip for every programme and resets each stream after
// DROP_AFTER data packets (1500: about 26 s into it), so a programme plays, breaks off once,
// reconnects where it broke off and plays to its end; the next one is then chosen in the menu
// (the first five of the open group in turn), with its countdown. About one drop a minute.
//
// Each row: the programmes chosen and the drops so far, the viewer's anonymous memory (RssAnon
// of /proc/PID/status: the heap and libVLC's buffers, what a leak shows in) at the minute and
// its lowest over the minute, the viewer's own PSS, and the PSS of the viewer with its web-engine
// processes. The growth per hour is the least-squares slope of each column after the first ten
// minutes (after the first half in a shorter run).
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench_soak [MINUTES (60)] [DROP_AFTER (1500)]
// BENCH_VIEWER names another build of the viewer; BENCH_VIEWER_WRAP runs it under a tool
// ("heaptrack --record-only -o /tmp/soak", say). BENCH_VERBOSE=1 prints each programme.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const QString kClip = QStringLiteral("demo-long.wmv");
constexpr int kSampleMs = 5000;
constexpr int kChoices = 5;
// The middle of the first rows of the open group (rows are 20 px high with the fonts here).
constexpr int kFirstRowX = 650;
constexpr int kFirstRowY = 58;
constexpr int kRowStep = 20;
// A programme plays in under a minute even with its drop; one that has not ended by then is
// stuck, and the next is chosen all the same.
constexpr qint64 kStuckMs = 180000;

// How the status begins once a programme no longer plays: stopped at its end, or failed.
const char* const kEndedTexts[] = {"已停止", "无法", "找不到", "服务器", "连接已中断", "不支持"};

bool ended(const QString& status) {
    return std::any_of(std::begin(kEndedTexts), std::end(kEndedTexts), [&](const char* text) {
        return status.startsWith(QString::fromUtf8(text));
    });
}

// The viewer's trace, read on from where it was left.
class TraceTail {
  public:
    explicit TraceTail(QString path) : path_(std::move(path)) {}
    // The events written since the last call, without their times.
    QStringList next() {
        QFile file(path_);
        QStringList events;
        if (!file.open(QIODevice::ReadOnly) || !file.seek(offset_))
            return events;
        const QByteArray added = file.readAll();
        const qsizetype end = added.lastIndexOf('\n');
        if (end < 0)
            return events;
        offset_ += end + 1;
        for (const QByteArray& line : added.left(end).split('\n')) {
            const qsizetype space = line.indexOf(' ');
            events << QString::fromUtf8(space < 0 ? line : line.mid(space + 1));
        }
        return events;
    }

  private:
    QString path_;
    qint64 offset_ = 0;
};

struct Sample {
    int minute = 0;
    int chosen = 0;
    int drops = 0;
    int failed = 0;
    double anon = 0; // MiB
    double anonLow = 0;
    double viewerPss = 0;
    double treePss = 0;
    int processes = 0;
};

// Least-squares slope of `value` against the minute, in MiB per hour, over samples from `from` on.
double perHour(const std::vector<Sample>& samples, int from, double Sample::*value) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Sample& s : samples) {
        if (s.minute < from)
            continue;
        n += 1;
        sx += s.minute;
        sy += s.*value;
        sxx += double(s.minute) * s.minute;
        sxy += s.minute * (s.*value);
    }
    const double d = n * sxx - sx * sx;
    return n < 2 || d == 0 ? 0 : (n * sxy - sx * sy) / d * 60;
}

double mib(qint64 kb) {
    return double(kb) / 1024;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int dropAfter = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1500;

    QTemporaryDir media;
    const std::unique_ptr<Station> station = startClipStation(
        kClip, media, {QStringLiteral("--stream-fault"), QStringLiteral("drop=%1").arg(dropAfter)});
    if (!station)
        return 1;
    Viewer viewer(station->address());
    const auto shown = viewer.waitFor(QStringLiteral("shown window="), 60000);
    if (!shown || !viewer.waitFor(QStringLiteral("ready"), 60000)) {
        std::printf("the viewer did not get ready\n%s\n", qPrintable(viewer.trace()));
        return 1;
    }
    const QString window = shown->second.mid(13);
    const qint64 pid = viewer.viewerPid();
    TraceTail trace(viewer.tracePath());

    std::printf("soak: %d min, a drop after %d packets of every stream, viewer pid %lld\n", minutes,
                dropAfter, pid);
    std::printf("| min | chosen | drops | failed | RssAnon MiB | low MiB | viewer PSS | tree PSS | "
                "procs |\n");
    std::printf("|----:|-------:|------:|-------:|------------:|--------:|-----------:|---------:|"
                "------:|\n");
    std::fflush(stdout);

    std::vector<Sample> samples;
    Sample now;
    int selected = 0;
    bool playing = false; // the chosen programme was handed to the player and has not ended
    bool choosing = false;
    qint64 choseAt = 0;
    const qint64 start = monotonicMs();
    qint64 nextSample = start;
    qint64 minuteLow = -1;
    const auto choose = [&] {
        const int row = now.chosen % kChoices;
        clickInWindow(window, kFirstRowX, kFirstRowY + row * kRowStep);
        choosing = true;
        choseAt = monotonicMs();
    };
    choose();

    while (true) {
        const qint64 t = monotonicMs();
        for (const QString& event : trace.next()) {
            if (event.startsWith(QLatin1String("selected "))) {
                ++selected;
                if (choosing) {
                    choosing = false;
                    ++now.chosen;
                    if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
                        std::printf("  %s\n", qPrintable(event));
                }
            } else if (event.startsWith(QLatin1String("play "))) {
                playing = true;
            } else if (event.startsWith(QLatin1String("player ")) && playing &&
                       ended(event.mid(7))) {
                playing = false;
                if (event != QStringLiteral("player 已停止")) {
                    ++now.failed;
                    if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
                        std::printf("  %s\n", qPrintable(event));
                }
                choose();
            }
        }
        // A click that went nowhere, or a programme that never ends: the next one.
        if ((choosing && t - choseAt > 20000) || (playing && t - choseAt > kStuckMs)) {
            playing = false;
            choose();
        }
        now.drops += int(station->takeLog().count("stream dropped"));

        if (t >= nextSample) {
            const qint64 anon = statusField(pid, "RssAnon");
            if (anon < 0) {
                std::printf("the viewer is gone\n%s\n", qPrintable(viewer.trace().right(4000)));
                return 1;
            }
            minuteLow = minuteLow < 0 ? anon : std::min(minuteLow, anon);
            nextSample += kSampleMs;
            const qint64 elapsed = t - start;
            if (elapsed / 60000 >= qint64(samples.size())) {
                Sample s = now;
                s.minute = int(elapsed / 60000);
                s.anon = mib(anon);
                s.anonLow = mib(minuteLow);
                s.viewerPss = mib(pss(pid));
                s.treePss = mib(treePss(viewer.pid()));
                s.processes = int(processTree(viewer.pid()).size());
                samples.push_back(s);
                minuteLow = -1;
                std::printf("| %3d | %6d | %5d | %6d | %11.1f | %7.1f | %10.1f | %8.1f | %5d |\n",
                            s.minute, s.chosen, s.drops, s.failed, s.anon, s.anonLow, s.viewerPss,
                            s.treePss, s.processes);
                std::fflush(stdout);
                if (s.minute >= minutes)
                    break;
            }
        }
        QThread::msleep(100);
    }

    const int from = minutes >= 20 ? 10 : minutes / 2;
    std::printf("\ngrowth per hour from minute %d to %d (least squares; goal: RssAnon under 5 "
                "MiB/h):\n",
                from, minutes);
    std::printf("  RssAnon %+.1f MiB/h, its lows %+.1f MiB/h, viewer PSS %+.1f MiB/h, tree PSS "
                "%+.1f MiB/h\n",
                perHour(samples, from, &Sample::anon), perHour(samples, from, &Sample::anonLow),
                perHour(samples, from, &Sample::viewerPss),
                perHour(samples, from, &Sample::treePss));
    std::printf("  %d programmes chosen (%d selections seen), %d drops, %d ended in a failure\n",
                now.chosen, selected, now.drops, now.failed);
    return 0;
}
