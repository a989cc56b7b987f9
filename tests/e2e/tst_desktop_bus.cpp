// The real viewer on a session bus of the test's own: the desktop's media controls (playerctl, as
// a user runs it) drive a playing programme, a stand-in of the screen saver records when the
// screen is kept on, and without any bus the viewer plays as before.
#include "DesktopStandIn.h"
#include "Processes.h"
#include "SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString kInhibit = u"Inhibit Velmora网络电视 正在播放视频 -> %1"_s;

// The time of the first trace event that starts with `prefix`; -1 when there is none.
qint64 timeOf(const ViewerProcess& viewer, const QString& prefix) {
    QList<qint64> times;
    const QStringList events = viewer.events(&times);
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (events.at(i).startsWith(prefix))
            return times.at(i);
    }
    return -1;
}

} // namespace

class TestDesktopBus : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void mediaControlsDriveAPlayingProgramme();
    void withoutASessionBusItPlaysAsBefore_data();
    void withoutASessionBusItPlaysAsBefore();
};

void TestDesktopBus::mediaControlsDriveAPlayingProgramme() {
    // Every title streams the 40 s clip.
    QTemporaryDir media;
    QVERIFY(QFile::link(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"),
                        media.filePath(u"demo-long.wmv"_s)));
    StationProcess station({u"--media"_s, media.path()});
    QVERIFY(station.started());
    SessionBus bus;
    QVERIFY(bus.started());
    DesktopStandIn screenSaver(bus.connect(u"screen-saver"_s),
                               DesktopStandIn::Service::ScreenSaver);
    QVERIFY(screenSaver.registered());
    ViewerProcess viewer;
    viewer.start(station.address(), {bus.environment()});
    QVERIFY(viewer.waitForEvent(u"mpris org.mpris.MediaPlayer2.velmora-tv"_s, 60000));
    const auto playerctl = [&](const QStringList& arguments) {
        return bus.run(u"playerctl"_s, QStringList{u"--player=velmora-tv"_s} + arguments)
            .value_or(u"(failed)"_s);
    };

    const std::optional<QString> players = bus.run(u"playerctl"_s, {u"--list-all"_s});
    qInfo().noquote() << "playerctl -l:" << players.value_or(u"(failed)"_s);
    QCOMPARE(players.value_or(QString()), u"velmora-tv"_s);
    QCOMPARE(playerctl({u"status"_s}), u"Stopped"_s);

    const std::optional<QString> selected = viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000);
    QVERIFY2(selected, qPrintable(viewer.events().join(u'\n')));
    const QString title = selected->mid(9);
    const std::optional<QString> played = viewer.waitForEvent(u"play mms://"_s, 15000);
    QVERIFY(played);
    const QString url = played->mid(5);
    QVERIFY(viewer.waitForEvent(u"first-frame"_s, 20000));
    QVERIFY(viewer.waitForEvent(u"player-length "_s, 20000));
    QTRY_COMPARE_WITH_TIMEOUT(screenSaver.calls(), QStringList{kInhibit.arg(1)}, 15000);
    // Not during the advertisement's countdown: only once the programme was handed over.
    QVERIFY(screenSaver.callTimes().constFirst() >= timeOf(viewer, u"play mms://"_s));
    QCOMPARE(playerctl({u"status"_s}), u"Playing"_s);
    // Paused while libVLC still buffers the stream's start, it does not take the word to play
    // on: the commands below are those of a user watching the programme.
    QVERIFY(viewer.waitForEvent(u"player 正在播放"_s, 20000));

    const QString metadata = playerctl({u"metadata"_s});
    qInfo().noquote() << u"playerctl metadata:\n"_s + metadata;
    QCOMPARE(playerctl({u"metadata"_s, u"xesam:title"_s}), title);
    QCOMPARE(playerctl({u"metadata"_s, u"xesam:url"_s}), url);
    const qlonglong length = playerctl({u"metadata"_s, u"mpris:length"_s}).toLongLong();
    QVERIFY2(length > 39'500'000 && length < 40'500'000, qPrintable(metadata));
    // An object path, which playerctl prints quoted.
    QVERIFY(playerctl({u"metadata"_s, u"mpris:trackid"_s})
                .startsWith(u"'/cn/com/velmoratv/tv/track/"_s));

    QCOMPARE(playerctl({u"pause"_s}), QString());
    QTRY_COMPARE_WITH_TIMEOUT(playerctl({u"status"_s}), u"Paused"_s, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(screenSaver.calls().value(1), u"UnInhibit 1"_s, 10000);
    // Paused, the position stays where it is put.
    QCOMPARE(playerctl({u"position"_s, u"20"_s}), QString());
    const double position = playerctl({u"position"_s}).toDouble();
    QVERIFY2(position >= 20 && position < 20.5, qPrintable(QString::number(position)));
    QCOMPARE(playerctl({u"volume"_s, u"0.3"_s}), QString());
    QCOMPARE(playerctl({u"volume"_s}).toDouble(), 0.3);

    QCOMPARE(playerctl({u"play"_s}), QString());
    QTRY_COMPARE_WITH_TIMEOUT(playerctl({u"status"_s}), u"Playing"_s, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(screenSaver.calls().value(2), kInhibit.arg(2), 10000);
    QVERIFY(playerctl({u"position"_s}).toDouble() >= 20);
    QCOMPARE(playerctl({u"stop"_s}), QString());
    QTRY_COMPARE_WITH_TIMEOUT(playerctl({u"status"_s}), u"Stopped"_s, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(screenSaver.calls().value(3), u"UnInhibit 2"_s, 10000);

    // A file handed over by the media controls plays as one opened from the menu; ended from
    // the media controls while it plays, the viewer lets the screen go.
    const QString file =
        QUrl::fromLocalFile(QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"))
            .toString(QUrl::FullyEncoded);
    QCOMPARE(playerctl({u"open"_s, file}), QString());
    QTRY_COMPARE_WITH_TIMEOUT(screenSaver.calls().value(4), kInhibit.arg(3), 20000);
    QCOMPARE(playerctl({u"metadata"_s, u"xesam:title"_s}), u"demo-long.wmv"_s);
    QCOMPARE(playerctl({u"metadata"_s, u"xesam:url"_s}), file);
    QDBusConnection control = bus.connect(u"control"_s);
    const QDBusMessage quit = control.call(QDBusMessage::createMethodCall(
        u"org.mpris.MediaPlayer2.velmora-tv"_s, u"/org/mpris/MediaPlayer2"_s,
        u"org.mpris.MediaPlayer2"_s, u"Quit"_s));
    QCOMPARE(quit.type(), QDBusMessage::ReplyMessage);
    const QDeadlineTimer deadline(15000);
    while (viewer.process().state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20); // keeps the stand-in answering while the viewer ends
    QCOMPARE(viewer.process().state(), QProcess::NotRunning);
    QCOMPARE(viewer.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.process().exitCode(), 0);
    qInfo().noquote() << u"screen saver calls:\n"_s + screenSaver.calls().join(u'\n');
    QCOMPARE(screenSaver.calls(),
             (QStringList{kInhibit.arg(1), u"UnInhibit 1"_s, kInhibit.arg(2), u"UnInhibit 2"_s,
                          kInhibit.arg(3), u"UnInhibit 3"_s}));
}

void TestDesktopBus::withoutASessionBusItPlaysAsBefore_data() {
    QTest::addColumn<QString>("environment");
    QTest::addColumn<bool>("unavailable");
    QTest::newRow("pointing nowhere")
        << u"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/velmora-bus"_s << true;
    // Where the machine can start a bus for the display, the viewer may use it; either way it
    // plays.
    QTest::newRow("unset") << u"DBUS_SESSION_BUS_ADDRESS"_s << false;
}

void TestDesktopBus::withoutASessionBusItPlaysAsBefore() {
    QFETCH(QString, environment);
    QFETCH(bool, unavailable);
    StationProcess station;
    QVERIFY(station.started());
    ViewerProcess viewer;
    viewer.start(station.address(), {environment});
    QVERIFY(viewer.waitForEvent(u"ready"_s, 60000));
    if (unavailable)
        QVERIFY(viewer.waitForEvent(u"session-bus-unavailable"_s, 10000));
    const std::optional<QString> selected = viewer.clickAndWaitFor(650, 62, u"selected "_s, 30000);
    QVERIFY2(selected, qPrintable(viewer.events().join(u'\n')));
    QVERIFY(viewer.waitForEvent(u"first-frame"_s, 20000));
    QVERIFY(viewer.waitForEvent(u"player 正在播放"_s, 20000));
    QCOMPARE(viewer.endWithKey(u"Velmora网络电视——"_s + selected->mid(9), u"ctrl+q"_s, 15000), 0);
}

QTEST_GUILESS_MAIN(TestDesktopBus)
#include "tst_desktop_bus.moc"
