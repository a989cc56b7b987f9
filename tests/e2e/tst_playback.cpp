#include "Processes.h"

#include <QDeadlineTimer>
#include <QTest>
#include <chrono>

namespace {

qint64 monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Clicks at a point of the main window, as a user would with the mouse.
bool clickInMainWindow(int x, int y) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("search"), QStringLiteral("--sync"),
                   QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                   QStringLiteral("^Velmora网络电视$"), QStringLiteral("mousemove"),
                   QStringLiteral("--window"), QStringLiteral("%1"), QString::number(x),
                   QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
    return xdotool.waitForFinished(15000) && xdotool.exitCode() == 0;
}

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void choosingAProgrammePlaysItAfterTheCountdown();
};

void TestPlayback::choosingAProgrammePlaysItAfterTheCountdown() {
    StationProcess station;
    QVERIFY(station.started());
    ViewerProcess viewer;
    viewer.start(station.address());
    QVERIFY(viewer.waitForEvent(QStringLiteral("ready"), 60000));

    // The first item of the open first group, just under its header.
    std::optional<QString> selected;
    const QDeadlineTimer deadline(20000);
    while (!selected && !deadline.hasExpired()) {
        QVERIFY(clickInMainWindow(650, 62));
        selected = viewer.waitForEvent(QStringLiteral("selected "), 1000);
    }
    QVERIFY(selected);
    const qint64 selectedAt = monotonicMs();
    const QString title = selected->mid(9);
    QVERIFY(title.startsWith(QStringLiteral("新闻联播")));

    // The station hears the play request for exactly that title about five seconds later.
    const auto play = station.waitForLog(QStringLiteral("play ") + title, 15000);
    QVERIFY2(play, qPrintable(station.log().join(QLatin1Char('\n'))));
    const qint64 delay = monotonicMs() - selectedAt;
    QVERIFY2(delay > 4000 && delay < 8000, qPrintable(QString::number(delay)));
    QCOMPARE(*play, QStringLiteral("play ") + title);

    // And the picture shows up in the player.
    QVERIFY(viewer.waitForEvent(QStringLiteral("first-frame"), 15000));
    const QString url = viewer.waitForEvent(QStringLiteral("play mms://"), 0).value_or(QString());
    QVERIFY(
        url.startsWith(QStringLiteral("play mms://") + station.address() + QStringLiteral("/sp/")));
    QVERIFY(url.endsWith(QStringLiteral(".wmv")));
    // The window is titled after the programme now.
    QCOMPARE(viewer.endWithKey(QStringLiteral("Velmora网络电视——") + title,
                               QStringLiteral("ctrl+q"), 15000),
             0);
}

QTEST_GUILESS_MAIN(TestPlayback)
#include "tst_playback.moc"
