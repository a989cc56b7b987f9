#include "PeerReport.h"

#include "BenchSupport.h"

#include <QMap>
#include <algorithm>
#include <cstdio>

namespace {

const char* const kNames[] = {"viewer", "VLC", "mpv", "floor"};

const char* sourceName(int file) {
    return file ? "file" : "stream";
}

QString sizeText(QSize size) {
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

// The size seen most often.
QSize usual(const std::vector<QSize>& sizes) {
    QMap<QString, int> counts;
    QSize best;
    int most = 0;
    for (const QSize size : sizes)
        if (++counts[sizeText(size)] > most) {
            most = counts[sizeText(size)];
            best = size;
        }
    return best;
}

bool near(QSize a, QSize b) {
    return std::abs(a.width() - b.width()) <= 3 && std::abs(a.height() - b.height()) <= 3;
}

} // namespace

QSize fitted(QSize area) {
    return QSize(640, 480).scaled(area, Qt::KeepAspectRatio);
}

void Results::add(const Setup& setup, int round, const Sample (&sample)[PlayerCount]) {
    const QSize area = setup.fullScreen ? kScreen : setup.size;
    std::printf("round %d %s %s:", round + 1, sourceName(setup.file), qPrintable(sizeText(area)));
    bool complete = true;
    for (int p = 0; p < PlayerCount; ++p) {
        if (p == FloorPlayer && sample[p].cpu < 0)
            continue;
        loads_.push_back(sample[p].load);
        if (sample[p].cpu < 0) {
            std::printf(" %s failed%s;", kNames[p],
                        sample[p].shown.isEmpty() && p != FloorPlayer ? " (no picture seen)" : "");
            complete = complete && p == FloorPlayer;
            continue;
        }
        std::printf(" %s %.1f%% (X %.1f%%%s%s);", kNames[p], sample[p].cpu * 100,
                    sample[p].xcpu * 100, p == FloorPlayer ? "" : ", shown ",
                    p == FloorPlayer ? "" : qPrintable(sizeText(sample[p].shown)));
    }
    std::printf(" load %.2f\n", sample[ViewerPlayer].load);
    std::fflush(stdout);
    if (!complete)
        return;
    for (int p = 0; p < FloorPlayer; ++p) {
        Cell& cell = cells_[setup.file][setup.fullScreen][p];
        cell.cpu.push_back(sample[p].cpu * 100);
        cell.xcpu.push_back(sample[p].xcpu * 100);
        cell.shown.push_back(sample[p].shown);
    }
}

void Results::addFloor(const Setup& setup, const Sample& sample) {
    if (sample.cpu < 0)
        return;
    // The floor shows nothing, whatever the window: both windows compare with it.
    for (int fullScreen = 0; fullScreen < 2; ++fullScreen) {
        cells_[setup.file][fullScreen][FloorPlayer].cpu.push_back(sample.cpu * 100);
        cells_[setup.file][fullScreen][FloorPlayer].xcpu.push_back(sample.xcpu * 100);
    }
}

bool Results::print(int rounds, int cpuSeconds, QSize declared) const {
    std::printf("\n%d rounds, %d s CPU windows, the 640 x 480 25 fps clip; medians of the share of "
                "one core\n",
                rounds, cpuSeconds);
    std::printf("| source | window | viewer | VLC | mpv | floor | viewer / mpv | viewer / floor | "
                "VLC / floor | mpv / floor | goal: viewer <= 1.0x mpv, <= %s floor |\n",
                "1.5x (2.0x full screen)");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    bool complete = true;
    for (int file = 0; file < 2; ++file)
        for (int fullScreen = 0; fullScreen < 2; ++fullScreen) {
            const Cell(&cell)[PlayerCount] = cells_[file][fullScreen];
            if (cell[ViewerPlayer].cpu.empty() || cell[FloorPlayer].cpu.empty()) {
                complete = false;
                continue;
            }
            double m[PlayerCount];
            for (int p = 0; p < PlayerCount; ++p)
                m[p] = median(cell[p].cpu);
            const double floorGoal = fullScreen ? 2.0 : 1.5;
            const bool met =
                m[ViewerPlayer] <= m[MpvPlayer] && m[ViewerPlayer] <= floorGoal * m[FloorPlayer];
            std::printf("| %s | %s | %.1f%% | %.1f%% | %.1f%% | %.1f%% | %.2fx | %.2fx | %.2fx | "
                        "%.2fx | %s |\n",
                        sourceName(file),
                        fullScreen ? "full screen 1280x1024" : qPrintable(sizeText(declared)),
                        m[ViewerPlayer], m[VlcPlayer], m[MpvPlayer], m[FloorPlayer],
                        m[ViewerPlayer] / m[MpvPlayer], m[ViewerPlayer] / m[FloorPlayer],
                        m[VlcPlayer] / m[FloorPlayer], m[MpvPlayer] / m[FloorPlayer],
                        met ? "met" : "NOT met");
        }

    std::printf("\nThe X server's CPU while each played (medians, share of one core)\n");
    std::printf("| source | window | viewer | VLC | mpv | floor |\n|---|---|---|---|---|---|\n");
    for (int file = 0; file < 2; ++file)
        for (int fullScreen = 0; fullScreen < 2; ++fullScreen) {
            const Cell(&cell)[PlayerCount] = cells_[file][fullScreen];
            if (cell[ViewerPlayer].xcpu.empty() || cell[FloorPlayer].xcpu.empty())
                continue;
            std::printf("| %s | %s | %.1f%% | %.1f%% | %.1f%% | %.1f%% |\n", sourceName(file),
                        fullScreen ? "full screen" : "declared", median(cell[ViewerPlayer].xcpu),
                        median(cell[VlcPlayer].xcpu), median(cell[MpvPlayer].xcpu),
                        median(cell[FloorPlayer].xcpu));
        }

    std::printf("\nThe clip's picture as grabbed from the screen (the size seen most often)\n");
    std::printf(
        "| window asked | picture expected | viewer | VLC | mpv |\n|---|---|---|---|---|\n");
    for (int fullScreen = 0; fullScreen < 2; ++fullScreen) {
        const QSize area = fullScreen ? kScreen : declared;
        std::printf("| %s | %s |", qPrintable(sizeText(area)), qPrintable(sizeText(fitted(area))));
        for (int p = 0; p < FloorPlayer; ++p) {
            std::vector<QSize> seen = cells_[0][fullScreen][p].shown;
            seen.insert(seen.end(), cells_[1][fullScreen][p].shown.begin(),
                        cells_[1][fullScreen][p].shown.end());
            const QSize shown = usual(seen);
            std::printf(" %s, %s |", qPrintable(sizeText(shown)),
                        near(shown, fitted(area)) ? "scales" : "does not scale");
        }
        std::printf("\n");
    }
    std::printf("\nload (1 min): %.2f at the start, %.2f at the end, %.2f to %.2f as the windows "
                "began\n",
                loadStart, loadEnd,
                loads_.empty() ? 0.0 : *std::min_element(loads_.begin(), loads_.end()),
                loads_.empty() ? 0.0 : *std::max_element(loads_.begin(), loads_.end()));
    return complete;
}
