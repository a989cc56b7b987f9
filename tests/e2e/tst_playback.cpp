#include "Processes.h"

#include <QTest>
#include <chrono>

namespace {

qint64 monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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

    // The first item of the open first group, just under its header. One click: a second one
    // could fold the group or choose anew.
    const std::optional<QString> selected =
        viewer.clickAndWaitFor(650, 62, QStringLiteral("selected "), 30000);
    QVERIFY2(selected, qPrintable(viewer.events().join(QLatin1Char('\n'))));
    // When the viewer took the choice, by its own trace: the test may see it later than that.
    QList<qint64> times;
    const QStringList events = viewer.events(&times);
    const qint64 selectedAt = times.at(events.indexOf(*selected));
    const QString title = selected->mid(9);
    QVERIFY(title.startsWith(QStringLiteral("新闻联播")));

    // The station hears the play request for exactly that title about five seconds later.
    const auto play = station.waitForLog(QStringLiteral("play ") + title, 15000);
    QVERIFY2(play,
             qPrintable(station.log().join(QLatin1Char('\n')) + QStringLiteral("\n--- viewer\n") +
                        viewer.events().join(QLatin1Char('\n'))));
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
