#pragma once

#include <QSize>
#include <QString>
#include <vector>

// What bench_peers measures and how it prints it.
enum Player { ViewerPlayer, VlcPlayer, MpvPlayer, FloorPlayer, PlayerCount };

struct Setup {
    bool file;       // the local copy rather than the stream
    bool fullScreen; // on the whole screen
    QString url;     // the stream, as the viewer plays it
    QString path;    // the local copy, readable by the peers' user
    QSize size;      // the viewer's video area
    int cpuSeconds;
};

struct Sample {
    double cpu = -1;  // share of one core, the player's process tree
    double xcpu = -1; // the same, the X server's
    QSize shown;      // the clip's picture as grabbed from the screen; empty: not seen
    double load = 0;  // 1-minute load average as the window began
};

// The screen's size, and what the clip looks like shown whole, aspect kept, in `area`.
inline const QSize kScreen(1280, 1024);
QSize fitted(QSize area);

class Results {
  public:
    // One round of one source and window; kept only when the viewer and both peers played.
    void add(const Setup& setup, int round, const Sample (&sample)[PlayerCount]);
    void addFloor(const Setup& setup, const Sample& sample);
    // The tables; false when a source and window has no complete round.
    bool print(int rounds, int cpuSeconds, QSize declared) const;

    double loadStart = 0;
    double loadEnd = 0;

  private:
    struct Cell {
        std::vector<double> cpu;
        std::vector<double> xcpu;
        std::vector<QSize> shown;
    };
    Cell cells_[2][2][PlayerCount]; // [file][full screen][player]
    std::vector<double> loads_;
};
