// The real viewer against hostile content, for the end-to-end tests: a hostile advertisement
// page from the station (/ad/hostile/...) and the waits and measures that several tests share.
#pragma once

#include "Processes.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Generous for a loaded two-core machine; the figures printed are what the runs took.
inline constexpr int kOutcomeMs = 30000;

qint64 monotonicMs(); // the clock of the viewer's trace

// CPU time in ms of every process below `pid` (the web engine's), not of `pid` itself, those
// that have ended included.
qint64 childrenCpuMs(qint64 pid);

// The proportional set size of `pid` and every process below it, in KiB.
qint64 treePssKiB(qint64 pid);

// The render processes of the viewer's advertisement that are still there: those it reported
// ("ad renderer-started PID", "ad renderer-released PID") and any below it that is one by its
// command line.
QList<qint64> renderersLeft(ViewerProcess& viewer);

// The OpenGL drivers (Mesa's, a GPU's, LLVM for the software one) that `pid` or a process below
// it has loaded, as "PID library".
QStringList graphicsDriversMapped(qint64 pid);

// Presses `key` in the viewer's window until the window is gone: a window just mapped may not
// have the keyboard yet.
bool closeWithKey(const ViewerProcess& viewer, const QString& title, const QString& key);

struct AdAttack {
    QString page;         // /ad/hostile/<page>
    QString firstSign;    // trace event (prefix) or beacon line that shows the attack under way
    QString outcome;      // trace event (prefix) of the outcome; empty: the beacons are
    QStringList beacons;  // what the page must report ("x=" matches any value)
    bool clickAd = false; // press on the advertisement during the countdown
    QString clickOutcome; // trace event (prefix) that the press must bring
    QStringList clickBeacons;
    int navigations = 1; // accepted navigations: the load, and for a reloading page the budget
    QString never;       // a regular expression no station log line may match
    // When set, the process tree's PSS from the choice to the programme's start must stay under
    // this, in MiB.
    qint64 treeLimitMiB = 0;
};
Q_DECLARE_METATYPE(AdAttack)

// A station log line of the page's report `what`.
QString beaconLine(const QString& what);

// One viewer whose advertisement is the attack's page. While the page is at it, Ctrl+U must open
// the URL dialog; the countdown must run its five seconds and play the programme; one second
// after it no render process may be left; the page must get none of what it asks for; Ctrl+Q
// must end the program with code 0. Prints each outcome's time. Fails the current test (QVERIFY)
// otherwise.
void runAdAttack(StationProcess& station, const AdAttack& attack);
