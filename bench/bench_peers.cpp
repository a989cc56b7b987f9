// CPU while playing: the real viewer against the players a user would run instead, VLC's own
// (cvlc, its X11 output) and mpv (its X11 output), and against the floor: ffmpeg decoding the
// same clip at its own pace and converting it to 32-bit RGB, showing nothing. Each plays the
// programme the viewer plays, from the station (the same mms:// address; mmsh:// for mpv and
// ffmpeg) and then as a local file, silent, in a window of the viewer's video size and at full
// screen. A player's CPU counts only once a grab of the screen has shown the clip's picture; the
// table says at what size each showed it. Rounds interleave the players, in an order that turns
// each round; the CPU of each process tree, and of the X server that draws for it, is read from
// /proc over a fixed window of steady playback.
//
//   scripts/bench-peers.sh [ROUNDS (5)] [CPU_SECONDS (8, at most 20)]
// runs it as  xvfb-run -a -s "-screen 0 1280x1024x24 -br" bench_peers ROUNDS CPU_SECONDS  once
// the peers and the unprivileged user they run as (BENCH_PEER_USER, default velbench) exist. VLC
// refuses to run as root. BENCH_VERBOSE=1 prints every process.
#include "BenchSupport.h"
#include "PeerReport.h"
#include "PeerSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <vector>

namespace {

const QString kLongClip = QStringLiteral("demo-long.wmv");
constexpr int kSettleMs = 2000; // past the start of the stream, into steady playback

bool verbose() {
    return qEnvironmentVariableIsSet("BENCH_VERBOSE");
}

QString peerCookie; // a copy of the display's cookie the peers' user can read
qint64 xServer = -1;

QString peerUser() {
    const QString user = qEnvironmentVariable("BENCH_PEER_USER");
    return user.isEmpty() ? QStringLiteral("velbench") : user;
}

QSize asked(const Setup& setup) {
    return setup.fullScreen ? kScreen : setup.size;
}

// The grab first, then the CPU of the tree and of the X server over the same window.
Sample measure(qint64 root, const Setup& setup, bool grab) {
    Sample sample;
    sample.load = loadAverage();
    if (grab) {
        // A loaded machine may be slow to show the first picture, or to settle its size: the
        // same picture twice running counts.
        const QDeadlineTimer deadline(15000);
        QSize last;
        while (!deadline.hasExpired()) {
            const QSize seen = clipPictureOnScreen().size();
            if (!seen.isEmpty() && seen == last)
                break;
            last = seen;
            QThread::msleep(300);
        }
        sample.shown = last;
        if (sample.shown.isEmpty())
            return sample;
    }
    const auto server = treeCpu(xServer);
    const auto before = treeCpu(root);
    const qint64 start = monotonicMs();
    QThread::msleep(ulong(setup.cpuSeconds) * 1000);
    const auto after = treeCpu(root);
    const double elapsed = double(monotonicMs() - start) / 1000;
    sample.xcpu = cpuSecondsBetween(server, treeCpu(xServer)) / elapsed;
    sample.cpu = cpuSecondsBetween(before, after) / elapsed;
    if (verbose())
        for (const auto& [pid, ticks] : after)
            std::printf("    pid %lld %s\n", pid,
                        readProcFile(QStringLiteral("/proc/%1/cmdline").arg(pid))
                            .left(100)
                            .replace('\0', ' ')
                            .constData());
    return sample;
}

// Starts the viewer and plays the first programme, or the local copy named on its command line;
// for full screen, double-clicks the picture.
Sample measureViewer(Station& station, Setup& setup) {
    Viewer viewer(station.address(), setup.file ? QStringList{setup.path} : QStringList{});
    const auto shown = viewer.waitFor(QStringLiteral("shown window="), 60000);
    if (!viewer.waitFor(QStringLiteral("ready"), 60000) || !shown) {
        std::printf("  viewer: no Ready\n%s\n", qPrintable(viewer.trace()));
        return {};
    }
    const QString window = shown->second.mid(13);
    if (!setup.file) {
        const QDeadlineTimer deadline(20000);
        while (!clickInWindow(window, 650, 62) && !deadline.hasExpired())
            QThread::msleep(50);
    }
    if (setup.file) {
        // A file opened from the command line traces no video size: the stream's rows found it.
        const auto playing = viewer.waitFor(QStringLiteral("player 正在播放"), 20000);
        const auto opened = viewer.event(QStringLiteral("open "));
        if (!playing || !opened || opened->second.mid(5) != setup.path || setup.size.isEmpty()) {
            std::printf("  viewer: the file did not play\n%s\n", qPrintable(viewer.trace()));
            return {};
        }
    } else {
        const auto play = viewer.waitFor(QStringLiteral("play "), 20000);
        const auto size = viewer.waitFor(QStringLiteral("video-size "), 20000);
        if (!play || !size) {
            std::printf("  viewer: nothing played\n%s\n", qPrintable(viewer.trace()));
            return {};
        }
        setup.url = play->second.mid(5);
        const QStringList wh = size->second.mid(11).split(u'x');
        setup.size = QSize(wh.value(0).toInt(), wh.value(1).toInt());
    }
    if (setup.fullScreen) {
        // Inside the picture, clear of the advertisement over its middle.
        clickInWindow(window, 60, 120, 2);
    }
    QThread::msleep(kSettleMs);
    const Sample sample = measure(viewer.pid(), setup, true);
    station.drain();
    return sample;
}

// Ends every process of the tree by its id, the root last.
void endTree(QProcess& process) {
    const std::vector<qint64> tree = processTree(process.processId());
    for (auto it = tree.rbegin(); it != tree.rend(); ++it)
        ::kill(pid_t(*it), SIGTERM);
    if (!process.waitForFinished(5000)) {
        for (qint64 pid : tree)
            ::kill(pid_t(pid), SIGKILL);
        process.waitForFinished(5000);
    }
}

// A program until its CPU window has passed: the peers as the unprivileged user, on this
// display; the floor as it is, with nothing to grab.
Sample measureProgram(const Setup& setup, const QString& program, const QStringList& args,
                      bool peer) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(QProcess::nullDevice());
    if (peer) {
        QStringList command = {QStringLiteral("-u"),
                               peerUser(),
                               QStringLiteral("--"),
                               QStringLiteral("env"),
                               QStringLiteral("DISPLAY=") + qEnvironmentVariable("DISPLAY"),
                               QStringLiteral("XAUTHORITY=") + peerCookie,
                               QStringLiteral("HOME=/tmp"),
                               program};
        process.start(QStringLiteral("runuser"), command << args);
    } else {
        process.start(program, args);
    }
    if (!process.waitForStarted(5000)) {
        std::printf("  %s did not start\n", qPrintable(program));
        return {};
    }
    // They say nothing when they play; a window of playback is what they get.
    QThread::msleep(1500 + kSettleMs);
    if (process.state() != QProcess::Running) {
        std::printf("  %s ended: %s\n", qPrintable(program), qPrintable(args.join(u' ')));
        return {};
    }
    Sample sample = measure(process.processId(), setup, peer);
    if (process.state() != QProcess::Running)
        sample.cpu = -1;
    endTree(process);
    return sample;
}

// mpv and ffmpeg speak MMS over HTTP under this name.
QString mmsh(const QString& url) {
    return url.startsWith(QLatin1String("mms://")) ? QStringLiteral("mmsh://") + url.mid(6) : url;
}

Sample measureVlc(const Setup& setup) {
    const QSize size = asked(setup);
    QStringList args = {QStringLiteral("--intf=dummy"),
                        QStringLiteral("--vout=xcb_x11"),
                        QStringLiteral("--aout=adummy"),
                        QStringLiteral("--no-video-title-show"),
                        QStringLiteral("--no-osd"),
                        QStringLiteral("--quiet"),
                        QStringLiteral("--no-video-deco"),
                        QStringLiteral("--network-caching=1000"),
                        QStringLiteral("--width=%1").arg(size.width()),
                        QStringLiteral("--height=%1").arg(size.height())};
    if (setup.fullScreen)
        args << QStringLiteral("--fullscreen");
    args << (setup.file ? setup.path : setup.url);
    return measureProgram(setup, QStringLiteral("cvlc"), args, true);
}

Sample measureMpv(const Setup& setup) {
    QStringList args = {QStringLiteral("--vo=x11"),    QStringLiteral("--no-audio"),
                        QStringLiteral("--no-config"), QStringLiteral("--really-quiet"),
                        QStringLiteral("--no-border"), QStringLiteral("--no-osc")};
    const QSize size = asked(setup);
    args << QStringLiteral("--geometry=%1x%2+0+0").arg(size.width()).arg(size.height());
    if (setup.fullScreen)
        args << QStringLiteral("--fs");
    args << (setup.file ? setup.path : mmsh(setup.url));
    return measureProgram(setup, QStringLiteral("mpv"), args, true);
}

Sample measureFloor(const Setup& setup) {
    return measureProgram(setup, QStringLiteral("ffmpeg"),
                          {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                           QStringLiteral("error"), QStringLiteral("-re"), QStringLiteral("-i"),
                           setup.file ? setup.path : mmsh(setup.url), QStringLiteral("-pix_fmt"),
                           QStringLiteral("bgra"), QStringLiteral("-f"), QStringLiteral("null"),
                           QStringLiteral("-")},
                          false);
}

bool programsPresent() {
    for (const char* program : {"cvlc", "mpv", "ffmpeg", "runuser", "xdotool"}) {
        if (QProcess::execute(QStringLiteral("sh"),
                              {QStringLiteral("-c"), QStringLiteral("command -v %1 >/dev/null")
                                                         .arg(QString::fromUtf8(program))}) != 0) {
            std::printf("no %s: run scripts/bench-peers.sh, which installs the peers\n", program);
            return false;
        }
    }
    return true;
}

// The peers run as another user: a copy of the display's cookie, and of the clip, they can read.
bool shareWithPeers(QTemporaryFile& cookie, QTemporaryDir& clipDir, QString& clip) {
    if (!cookie.open() || !QFile::exists(qEnvironmentVariable("XAUTHORITY")) ||
        (cookie.write(readProcFile(qEnvironmentVariable("XAUTHORITY"))), !cookie.flush()) ||
        !cookie.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther)) {
        std::printf("no display cookie to hand to %s (run under xvfb-run)\n",
                    qPrintable(peerUser()));
        return false;
    }
    peerCookie = cookie.fileName();
    clip = clipDir.filePath(kLongClip);
    return QFile::setPermissions(clipDir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ExeOwner | QFile::ReadOther |
                                                     QFile::ExeOther) &&
           QFile::copy(kBin + QStringLiteral("/../media/") + kLongClip, clip) &&
           QFile::setPermissions(clip, QFile::ReadOwner | QFile::ReadOther);
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // a failure shows in the log as it happens
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // The clip lasts 40 s; every window must end before it does.
    const int cpuSeconds = argc > 2 ? std::clamp(std::atoi(argv[2]), 2, 20) : 8;
    xServer = displayServerPid();
    if (!programsPresent() || xServer < 0) {
        if (xServer < 0)
            std::printf("no Xvfb on %s\n", qgetenv("DISPLAY").constData());
        return 1;
    }
    QTemporaryFile cookie(QDir::tempPath() + QStringLiteral("/bench-peers-XXXXXX"));
    QTemporaryDir clipDir(QDir::tempPath() + QStringLiteral("/bench-clip-XXXXXX"));
    QString clip;
    if (!shareWithPeers(cookie, clipDir, clip)) {
        std::printf("could not share the display or the clip with %s\n", qPrintable(peerUser()));
        return 1;
    }
    QTemporaryDir media;
    const std::unique_ptr<Station> clipStation = startClipStation(kLongClip, media);
    if (!clipStation)
        return 1;
    Station& station = *clipStation;

    Results results;
    results.loadStart = loadAverage();
    QString url;
    QSize size;
    for (int round = 0; round < rounds; ++round) {
        for (int file = 0; file < 2; ++file) {
            for (int fullScreen = 0; fullScreen < 2; ++fullScreen) {
                Setup setup{file == 1, fullScreen == 1, url, clip, size, cpuSeconds};
                // The viewer goes first: on the stream it finds the address and size the others
                // use.
                Sample sample[PlayerCount];
                sample[ViewerPlayer] = measureViewer(station, setup);
                if (sample[ViewerPlayer].cpu < 0 || setup.size.isEmpty() ||
                    (!setup.file && setup.url.isEmpty()))
                    continue;
                url = setup.url;
                size = setup.size;
                sample[VlcPlayer + round % 2] = (round % 2 ? measureMpv : measureVlc)(setup);
                station.drain();
                sample[MpvPlayer - round % 2] = (round % 2 ? measureVlc : measureMpv)(setup);
                station.drain();
                // The floor shows nothing: one per source and round serves both windows.
                if (!fullScreen) {
                    sample[FloorPlayer] = measureFloor(setup);
                    station.drain();
                    results.addFloor(setup, sample[FloorPlayer]);
                }
                results.add(setup, round, sample);
            }
        }
    }
    results.loadEnd = loadAverage();
    return results.print(rounds, cpuSeconds, size) ? 0 : 1;
}
