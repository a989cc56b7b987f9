// The player as the desktop's media controls see it, on a bus of the test's own: read, driven and
// listened to over the bus as a control does, with real libVLC playing the station's clips from
// disk.
#include "SessionBus.h"
#include "app/MprisService.h"
#include "playback/PlaybackController.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const EngineOptions kSilent{.audioOutput = "adummy"};
const QString kLong = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/demo-long.wmv"); // 40 s
const QString kSound = QStringLiteral(VELMORA_TEST_MEDIA_DIR "/sample.mp3");
constexpr int kPlayerMs = 20000; // bounds a failure; libVLC answers in well under a second
const QString kName = u"org.mpris.MediaPlayer2.velmora-tv"_s;
const QString kPath = u"/org/mpris/MediaPlayer2"_s;
const QString kRoot = u"org.mpris.MediaPlayer2"_s;
const QString kPlayer = u"org.mpris.MediaPlayer2.Player"_s;
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;

// A value as it comes over the bus, maps, lists and paths unpacked.
QVariant plain(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return plain(value.value<QDBusVariant>().variant());
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    QVariantMap map;
    if (value.userType() == QMetaType::QVariantMap) {
        map = value.toMap();
    } else if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto argument = value.value<QDBusArgument>();
        if (argument.currentSignature() == u"as"_s)
            return qdbus_cast<QStringList>(argument);
        map = qdbus_cast<QVariantMap>(argument);
    } else {
        return value;
    }
    for (auto it = map.begin(); it != map.end(); ++it)
        *it = plain(*it);
    return map;
}

// A media control: its own connection, its calls waiting with the event loop running so that the
// player in this same process can answer, and every PropertiesChanged it heard.
class Control : public QObject {
    Q_OBJECT
  public:
    explicit Control(QDBusConnection bus) : bus_(std::move(bus)) {
        bus_.connect(kName, kPath, kProperties, u"PropertiesChanged"_s, this,
                     SLOT(changed(QString, QVariantMap, QStringList)));
        bus_.connect(kName, kPath, kPlayer, u"Seeked"_s, this, SLOT(seekedTo(qlonglong)));
    }

    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& args = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(kName, kPath, interface, method);
        message.setArguments(args);
        return bus_.call(message, QDBus::BlockWithGui, 5000);
    }
    QVariant get(const QString& interface, const QString& property) {
        return plain(call(kProperties, u"Get"_s, {interface, property}).arguments().value(0));
    }
    QVariant player(const QString& property) { return get(kPlayer, property); }
    QVariantMap metadata() { return player(u"Metadata"_s).toMap(); }
    bool set(const QString& property, const QVariant& value) {
        return call(kProperties, u"Set"_s,
                    {kPlayer, property, QVariant::fromValue(QDBusVariant(value))})
                   .type() == QDBusMessage::ReplyMessage;
    }
    // How often `property` was announced, and its last announced value.
    int announcements(const QString& property) const {
        return int(std::count_if(changes_.cbegin(), changes_.cend(),
                                 [&](const QVariantMap& c) { return c.contains(property); }));
    }
    QVariant announced(const QString& property) const {
        for (auto it = changes_.crbegin(); it != changes_.crend(); ++it) {
            if (it->contains(property))
                return it->value(property);
        }
        return {};
    }
    QList<qlonglong> seeks;

  private Q_SLOTS:
    void changed(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface == kPlayer)
            changes_ << plain(QVariant(changed)).toMap();
    }
    void seekedTo(qlonglong position) { seeks << position; }

  private:
    QDBusConnection bus_;
    QList<QVariantMap> changes_;
};

QString fileUri(const QString& path) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

} // namespace

class TestMpris : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void theStateIsReadAndEveryChangeAnnouncedOnce();
    void commandsKeepTheirRules();
    void aSecondPlayerTakesAnInstanceName();
};

void TestMpris::theStateIsReadAndEveryChangeAnnouncedOnce() {
    SessionBus bus;
    QVERIFY(bus.started());
    PlaybackController playback(kSilent);
    MprisService mpris(playback, {});
    QCOMPARE(mpris.publish(bus.connect(u"player"_s)), kName);
    Control control(bus.connect(u"control"_s));

    QCOMPARE(control.get(kRoot, u"Identity"_s).toString(), u"Velmora网络电视"_s);
    QCOMPARE(control.get(kRoot, u"DesktopEntry"_s).toString(), u"cn.com.velmoratv.tv"_s);
    QCOMPARE(control.get(kRoot, u"CanQuit"_s).toBool(), true);
    QCOMPARE(control.get(kRoot, u"CanRaise"_s).toBool(), true);
    QCOMPARE(control.get(kRoot, u"HasTrackList"_s).toBool(), false);
    const QStringList schemes = control.get(kRoot, u"SupportedUriSchemes"_s).toStringList();
    for (const QString& scheme : {u"file"_s, u"mms"_s, u"mmsh"_s, u"http"_s})
        QVERIFY2(schemes.contains(scheme), qPrintable(scheme));
    QVERIFY(
        control.get(kRoot, u"SupportedMimeTypes"_s).toStringList().contains(u"video/x-ms-wmv"_s));

    // Nothing chosen yet: nothing to play, no track.
    QCOMPARE(control.player(u"PlaybackStatus"_s).toString(), u"Stopped"_s);
    QCOMPARE(control.player(u"CanPlay"_s).toBool(), false);
    QCOMPARE(control.player(u"CanControl"_s).toBool(), true);
    QCOMPARE(control.player(u"CanGoNext"_s).toBool(), false);
    QVERIFY(control.metadata().isEmpty());
    QCOMPARE(control.player(u"MinimumRate"_s).toDouble(), 0.5);
    QCOMPARE(control.player(u"MaximumRate"_s).toDouble(), 2.0);

    playback.open(kLong, 0, u"新闻联播0112"_s);
    QTRY_COMPARE_WITH_TIMEOUT(control.announced(u"PlaybackStatus"_s).toString(), u"Playing"_s,
                              kPlayerMs);
    QTRY_VERIFY_WITH_TIMEOUT(control.announced(u"Metadata"_s).toMap().contains(u"mpris:length"_s),
                             kPlayerMs);
    const QVariantMap first = control.metadata();
    QCOMPARE(first, control.announced(u"Metadata"_s).toMap());
    QCOMPARE(first.value(u"xesam:title"_s).toString(), u"新闻联播0112"_s);
    QCOMPARE(first.value(u"xesam:url"_s).toString(), fileUri(kLong));
    const qlonglong length = first.value(u"mpris:length"_s).toLongLong();
    QVERIFY2(length > 39'500'000 && length < 40'500'000, qPrintable(QString::number(length)));
    QVERIFY(
        first.value(u"mpris:trackid"_s).toString().startsWith(u"/cn/com/velmoratv/tv/track/"_s));
    QCOMPARE(control.announced(u"CanPlay"_s).toBool(), true);
    QCOMPARE(control.announced(u"CanSeek"_s).toBool(), true);
    QCOMPARE(control.announcements(u"PlaybackStatus"_s), 1);
    // The position moves all the time; controls ask for it.
    QTRY_VERIFY_WITH_TIMEOUT(control.player(u"Position"_s).toLongLong() > 0, kPlayerMs);
    QCOMPARE(control.announcements(u"Position"_s), 0);

    // The sound, either way, announced once.
    playback.setVolume(30);
    QTRY_COMPARE(control.announced(u"Volume"_s).toDouble(), 0.3);
    QVERIFY(control.set(u"Volume"_s, 0.8));
    QCOMPARE(playback.volume(), 80);
    QTRY_COMPARE(control.announced(u"Volume"_s).toDouble(), 0.8);
    QCOMPARE(control.announcements(u"Volume"_s), 2);

    control.call(kPlayer, u"Pause"_s);
    QTRY_COMPARE_WITH_TIMEOUT(control.announced(u"PlaybackStatus"_s).toString(), u"Paused"_s,
                              kPlayerMs);
    QCOMPARE(playback.status(), PlayerStatus::Paused);

    // The same file opened again is another track.
    playback.open(kLong);
    QTRY_COMPARE_WITH_TIMEOUT(control.announced(u"PlaybackStatus"_s).toString(), u"Playing"_s,
                              kPlayerMs);
    const QVariantMap second = control.metadata();
    QCOMPARE(second.value(u"xesam:title"_s).toString(), u"demo-long.wmv"_s);
    QVERIFY(second.value(u"mpris:trackid"_s) != first.value(u"mpris:trackid"_s));
    QCOMPARE(control.announced(u"Metadata"_s).toMap().value(u"mpris:trackid"_s),
             second.value(u"mpris:trackid"_s));

    // Stopped keeps the track, which Play starts again; cleared, there is none.
    control.call(kPlayer, u"Stop"_s);
    QTRY_COMPARE_WITH_TIMEOUT(control.announced(u"PlaybackStatus"_s).toString(), u"Stopped"_s,
                              kPlayerMs);
    QCOMPARE(control.player(u"CanPlay"_s).toBool(), true);
    playback.open(QString());
    QTRY_VERIFY(control.announced(u"Metadata"_s).toMap().isEmpty());
    QCOMPARE(control.announced(u"CanPlay"_s).toBool(), false);
}

void TestMpris::commandsKeepTheirRules() {
    SessionBus bus;
    QVERIFY(bus.started());
    PlaybackController playback(kSilent);
    MprisService mpris(playback, {});
    QVERIFY(!mpris.publish(bus.connect(u"player"_s)).isEmpty());
    Control control(bus.connect(u"control"_s));

    playback.open(kLong);
    QTRY_VERIFY_WITH_TIMEOUT(playback.seekable() && playback.length() > 0, kPlayerMs);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
    // No speed at all means pause; otherwise within the player's range.
    QVERIFY(control.set(u"Rate"_s, 3.0));
    QCOMPARE(playback.rate(), 2.0);
    QVERIFY(control.set(u"Rate"_s, 0.0));
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Paused, kPlayerMs);
    QCOMPARE(playback.rate(), 2.0);
    QVERIFY(control.set(u"Volume"_s, 1.7));
    QCOMPARE(playback.volume(), 100);
    QVERIFY(control.set(u"Volume"_s, -0.5));
    QCOMPARE(playback.volume(), 0);

    // Back before the start: the start.
    control.call(kPlayer, u"Seek"_s, {qlonglong(-100'000'000)});
    QCOMPARE(playback.position(), 0);
    const QVariant track = QVariant::fromValue(
        QDBusObjectPath(control.metadata().value(u"mpris:trackid"_s).toString()));
    control.call(kPlayer, u"SetPosition"_s, {track, qlonglong(12'000'000)});
    QCOMPARE(playback.position(), 12000);
    control.call(kPlayer, u"Seek"_s, {qlonglong(3'500'000)});
    QCOMPARE(playback.position(), 15500);
    QTRY_COMPARE(control.seeks, (QList<qlonglong>{0, 12'000'000, 15'500'000}));
    // Past the end, before the start, or in a track that no longer plays: nothing moves.
    control.call(kPlayer, u"SetPosition"_s, {track, qlonglong(50'000'000)});
    control.call(kPlayer, u"SetPosition"_s, {track, qlonglong(-1)});
    const QVariant stale =
        QVariant::fromValue(QDBusObjectPath(u"/cn/com/velmoratv/tv/track/999"_s));
    control.call(kPlayer, u"SetPosition"_s, {stale, qlonglong(1'000'000)});
    control.call(kPlayer, u"Next"_s);
    control.call(kPlayer, u"Previous"_s);
    QCOMPARE(playback.position(), 15500);
    QCOMPARE(playback.location(), kLong);
    QCOMPARE(playback.status(), PlayerStatus::Paused);

    // PlayPause resumes what is paused.
    control.call(kPlayer, u"PlayPause"_s);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);

    // Addresses of a kind the player cannot open are refused, not played.
    const QDBusMessage gopher = control.call(kPlayer, u"OpenUri"_s, {u"gopher://example.org/"_s});
    QCOMPARE(gopher.type(), QDBusMessage::ErrorMessage);
    QCOMPARE(gopher.errorName(), u"org.freedesktop.DBus.Error.NotSupported"_s);
    const QDBusMessage empty = control.call(kPlayer, u"OpenUri"_s, {QString()});
    QCOMPARE(empty.errorName(), u"org.freedesktop.DBus.Error.InvalidArgs"_s);
    QCOMPARE(playback.location(), kLong);
    QVERIFY(isRunning(playback.status()));

    const QDBusMessage sound = control.call(kPlayer, u"OpenUri"_s, {fileUri(kSound)});
    QCOMPARE(sound.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(playback.location(), fileUri(kSound));
    QCOMPARE(playback.title(), u"sample.mp3"_s);
    QTRY_COMPARE_WITH_TIMEOUT(playback.status(), PlayerStatus::Playing, kPlayerMs);
}

void TestMpris::aSecondPlayerTakesAnInstanceName() {
    SessionBus bus;
    QVERIFY(bus.started());
    PlaybackController playback(kSilent);
    auto first = std::make_unique<MprisService>(playback, MprisHooks{});
    MprisService second(playback, {});
    QCOMPARE(first->publish(bus.connect(u"first"_s)), kName);
    const QString instance = kName + u".instance%1"_s.arg(QCoreApplication::applicationPid());
    QDBusConnection secondBus = bus.connect(u"second"_s);
    QCOMPARE(second.publish(secondBus), instance);
    const QStringList names = secondBus.interface()->registeredServiceNames().value();
    QVERIFY(names.contains(kName));
    QVERIFY(names.contains(instance));
    // The first one gone, its name is free again.
    first.reset();
    QTRY_VERIFY(!secondBus.interface()->isServiceRegistered(kName).value());

    // Without a bus the player plays on, unannounced.
    MprisService none(playback, {});
    QCOMPARE(
        none.publish(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"nowhere"_s)),
        QString());
    QDBusConnection::disconnectFromBus(u"nowhere"_s);
}

QTEST_GUILESS_MAIN(TestMpris)
#include "tst_mpris.moc"
