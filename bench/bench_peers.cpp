// CPU while playing, the real viewer against the players a user would run instead: VLC's own
// player (cvlc, its X11 output) and mpv (its X11 output), each playing the programme the viewer
// plays from the station, silent, in a window of the viewer's video size and then at full
// screen. Rounds interleave the three, in an order that turns each round; the CPU of each
// process tree is read from /proc over a fixed window of steady playback.
//
//   scripts/bench-peers.sh [ROUNDS (5)] [CPU_SECONDS (10, at most 30)]
// runs it as  xvfb-run -a -s "-screen 0 1280x1024x24" bench_peers ROUNDS CPU_SECONDS  once the
// peers and the unprivileged user they run as (BENCH_PEER_USER, default velbench) exist. VLC
// refuses to run as root. BENCH_VERBOSE=1 prints every process and the peers' windows.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QString kLongClip = QStringLiteral("demo-long.wmv");
constexpr int kSettleMs = 2000; // past the start of the stream, into steady playback

enum Player { ViewerPlayer, VlcPlayer, MpvPlayer, PlayerCount };

struct Setup {
    QString station;
    QString url;     // what the viewer plays, found in its trace
    QString size;    // the viewer's video area, WxH
    bool fullScreen; // on the whole 1280 x 1024 screen
    int cpuSeconds;
};

bool verbose() {
    return qEnvironmentVariableIsSet("BENCH_VERBOSE");
}

QString peerCookie; // a copy of the display's cookie the peers' user can read

QString peerUser() {
    const QString user = qEnvironmentVariable("BENCH_PEER_USER");
    return user.isEmpty() ? QStringLiteral("velbench") : user;
}

// Starts the viewer, plays the first programme and, for full screen, double-clicks the picture.
// Returns the CPU share, or a negative value when nothing played.
double measureViewer(Setup& setup) {
    Viewer viewer(setup.station);
    const auto shown = viewer.waitFor(QStringLiteral("shown window="), 60000);
    if (!viewer.waitFor(QStringLiteral("ready"), 60000) || !shown) {
        std::printf("  viewer: no Ready\n%s\n", qPrintable(viewer.trace()));
        return -1;
    }
    const QString window = shown->second.mid(13);
    const QDeadlineTimer deadline(20000);
    while (!clickInWindow(window, 650, 62) && !deadline.hasExpired())
        QThread::msleep(50);
    const auto play = viewer.waitFor(QStringLiteral("play "), 20000);
    const auto size = viewer.waitFor(QStringLiteral("video-size "), 20000);
    if (!play || !size) {
        std::printf("  viewer: nothing played\n%s\n", qPrintable(viewer.trace()));
        return -1;
    }
    setup.url = play->second.mid(5);
    setup.size = size->second.mid(11);
    if (setup.fullScreen) {
        // Inside the picture, clear of the advertisement over its middle.
        clickInWindow(window, 60, 120, 2);
    }
    QThread::msleep(kSettleMs);
    return cpuWindow(viewer.pid(), setup.cpuSeconds).first;
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

void printWindows(QProcess& process) {
    for (qint64 pid : processTree(process.processId())) {
        QProcess search;
        search.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("for w in $(xdotool search --onlyvisible --pid %1); do "
                                     "xdotool getwindowgeometry $w; done")
                          .arg(pid)});
        search.waitForFinished(5000);
        QByteArray out = search.readAllStandardOutput().trimmed();
        if (!out.isEmpty())
            std::printf("    %s\n", out.replace('\n', ' ').constData());
    }
}

// A peer as the unprivileged user, on this display, until its CPU window has passed.
double measurePeer(const Setup& setup, const QString& program, const QStringList& args) {
    QProcess peer;
    peer.setProcessChannelMode(QProcess::MergedChannels);
    peer.setStandardOutputFile(QProcess::nullDevice());
    QStringList command = {QStringLiteral("-u"),
                           peerUser(),
                           QStringLiteral("--"),
                           QStringLiteral("env"),
                           QStringLiteral("DISPLAY=") + qEnvironmentVariable("DISPLAY"),
                           QStringLiteral("XAUTHORITY=") + peerCookie,
                           QStringLiteral("HOME=/tmp"),
                           program};
    command << args;
    peer.start(QStringLiteral("runuser"), command);
    if (!peer.waitForStarted(5000)) {
        std::printf("  %s did not start\n", qPrintable(program));
        return -1;
    }
    // The peers say nothing when they play; a window of playback is what they get.
    QThread::msleep(1500 + kSettleMs);
    if (peer.state() != QProcess::Running) {
        std::printf("  %s ended: %s\n", qPrintable(program), qPrintable(args.join(u' ')));
        return -1;
    }
    if (verbose())
        printWindows(peer);
    const double cpu = cpuWindow(peer.processId(), setup.cpuSeconds).first;
    const bool ran = peer.state() == QProcess::Running;
    endTree(peer);
    return ran ? cpu : -1;
}

double measureVlc(const Setup& setup) {
    const QStringList size = setup.size.split(u'x');
    QStringList args = {
        QStringLiteral("--intf=dummy"),    QStringLiteral("--vout=xcb_x11"),
        QStringLiteral("--aout=adummy"),   QStringLiteral("--no-video-title-show"),
        QStringLiteral("--no-osd"),        QStringLiteral("--quiet"),
        QStringLiteral("--no-video-deco"), QStringLiteral("--network-caching=1000")};
    if (setup.fullScreen)
        args << QStringLiteral("--fullscreen") << QStringLiteral("--width=1280")
             << QStringLiteral("--height=1024");
    else
        args << QStringLiteral("--width=") + size.value(0)
             << QStringLiteral("--height=") + size.value(1);
    args << setup.url;
    return measurePeer(setup, QStringLiteral("cvlc"), args);
}

double measureMpv(const Setup& setup) {
    // mpv speaks MMS over HTTP under this name.
    QString url = setup.url;
    if (url.startsWith(QLatin1String("mms://")))
        url = QStringLiteral("mmsh://") + url.mid(6);
    QStringList args = {QStringLiteral("--vo=x11"),    QStringLiteral("--no-audio"),
                        QStringLiteral("--no-config"), QStringLiteral("--really-quiet"),
                        QStringLiteral("--no-border"), QStringLiteral("--no-osc")};
    if (setup.fullScreen)
        args << QStringLiteral("--fs") << QStringLiteral("--geometry=1280x1024+0+0");
    else
        args << QStringLiteral("--geometry=") + setup.size + QStringLiteral("+0+0");
    args << url;
    return measurePeer(setup, QStringLiteral("mpv"), args);
}

bool peersPresent() {
    for (const char* program : {"cvlc", "mpv", "runuser"}) {
        if (QProcess::execute(QStringLiteral("sh"),
                              {QStringLiteral("-c"), QStringLiteral("command -v %1 >/dev/null")
                                                         .arg(QString::fromUtf8(program))}) != 0) {
            std::printf("no %s: run scripts/bench-peers.sh, which installs the peers\n", program);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // The clip lasts 40 s; every window must end before it does.
    const int cpuSeconds = argc > 2 ? std::clamp(std::atoi(argv[2]), 2, 30) : 10;
    if (!peersPresent())
        return 1;
    // The peers run as another user: they get a copy of the display's cookie they can read.
    QTemporaryFile cookie(QDir::tempPath() + QStringLiteral("/bench-peers-XXXXXX"));
    if (!cookie.open() || !QFile::exists(qEnvironmentVariable("XAUTHORITY")) ||
        (cookie.write(readProcFile(qEnvironmentVariable("XAUTHORITY"))), !cookie.flush()) ||
        !cookie.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther)) {
        std::printf("no display cookie to hand to %s (run under xvfb-run)\n",
                    qPrintable(peerUser()));
        return 1;
    }
    peerCookie = cookie.fileName();

    QTemporaryDir media;
    const std::unique_ptr<Station> clipStation = startClipStation(kLongClip, media);
    if (!clipStation)
        return 1;
    Station& station = *clipStation;

    // [full screen][player] -> CPU shares of the rounds that played all three.
    std::vector<double> cpu[2][PlayerCount];
    QString declaredSize;
    for (int round = 0; round < rounds; ++round) {
        for (int fullScreen = 0; fullScreen < 2; ++fullScreen) {
            Setup setup{station.address(), {}, {}, fullScreen == 1, cpuSeconds};
            // The viewer goes first each time: it finds the address and the size the peers use.
            double share[PlayerCount];
            share[ViewerPlayer] = measureViewer(setup);
            station.drain();
            if (share[ViewerPlayer] < 0)
                continue;
            declaredSize = setup.size;
            const std::function<double(const Setup&)> peers[] = {measureVlc, measureMpv};
            const int first = round % 2;
            for (int i = 0; i < 2; ++i) {
                const int peer = (first + i) % 2;
                share[VlcPlayer + peer] = peers[peer](setup);
                station.drain();
            }
            if (share[VlcPlayer] < 0 || share[MpvPlayer] < 0)
                continue;
            std::printf("round %d %s: viewer %.1f%%, VLC %.1f%%, mpv %.1f%%\n", round + 1,
                        fullScreen ? "full screen" : qPrintable(setup.size),
                        share[ViewerPlayer] * 100, share[VlcPlayer] * 100, share[MpvPlayer] * 100);
            std::fflush(stdout);
            for (int p = 0; p < PlayerCount; ++p)
                cpu[fullScreen][p].push_back(share[p] * 100);
        }
    }

    std::printf("\n%d rounds, %d s CPU windows, 640 x 480 clip over MMS over HTTP; medians of the "
                "share of one core\n",
                rounds, cpuSeconds);
    std::printf("| %-24s | %8s | %8s | %8s | %-10s | %-10s | %-4s |\n", "window", "viewer", "VLC",
                "mpv", "viewer/VLC", "viewer/mpv", "goal");
    bool complete = true;
    for (int fullScreen = 0; fullScreen < 2; ++fullScreen) {
        if (cpu[fullScreen][ViewerPlayer].empty()) {
            complete = false;
            continue;
        }
        double m[PlayerCount];
        for (int p = 0; p < PlayerCount; ++p)
            m[p] = median(cpu[fullScreen][p]);
        const QString window = fullScreen ? QStringLiteral("full screen 1280 x 1024")
                                          : QStringLiteral("declared, video ") + declaredSize;
        std::printf("| %-24s | %7.1f%% | %7.1f%% | %7.1f%% | %9.2fx | %9.2fx | %-4s |\n",
                    qPrintable(window), m[ViewerPlayer], m[VlcPlayer], m[MpvPlayer],
                    m[ViewerPlayer] / m[VlcPlayer], m[ViewerPlayer] / m[MpvPlayer],
                    m[ViewerPlayer] <= m[VlcPlayer] ? "met" : "NOT");
    }
    return complete ? 0 : 1;
}
