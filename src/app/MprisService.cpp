#include "app/MprisService.h"

#include "app/MprisAdaptors.h"
#include "playback/Location.h"
#include "playback/PlaybackController.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QFileInfo>
#include <QMetaProperty>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// What a media control reading the track may rely on: it names this one opening only.
const QString kTrackPrefix = QStringLiteral("/cn/com/velmoratv/tv/track/");
constexpr qint64 kUsPerMs = 1000;

// Moving all the time, or never changing: neither is announced.
bool announced(const char* property) {
    return qstrcmp(property, "Position") != 0 && qstrcmp(property, "CanControl") != 0;
}

QString uriOf(const QString& location) {
    if (locationKind(location) == LocationKind::LocalFile) {
        const QString path = QFileInfo(localPathOf(location)).absoluteFilePath();
        return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    }
    const QUrl url(location, QUrl::TolerantMode);
    return url.isValid() ? url.toString(QUrl::FullyEncoded) : location;
}

} // namespace

MprisService::MprisService(PlaybackController& playback, MprisHooks hooks, QObject* parent)
    : QObject(parent), playback_(playback), hooks_(std::move(hooks)) {
    new MprisRootAdaptor(this);
    player_ = new MprisPlayerAdaptor(this);
    connect(&playback_, &PlaybackController::opened, this, [this] {
        ++opening_;
        scheduleAnnouncement();
    });
    const auto follow = [this](auto change) {
        connect(&playback_, change, this, &MprisService::scheduleAnnouncement);
    };
    follow(&PlaybackController::statusChanged);
    follow(&PlaybackController::titleChanged);
    follow(&PlaybackController::locationChanged);
    follow(&PlaybackController::lengthChanged);
    follow(&PlaybackController::seekableChanged);
    follow(&PlaybackController::volumeChanged);
    follow(&PlaybackController::rateChanged);
    connect(&playback_, &PlaybackController::seeked, this,
            [this](qint64 ms) { Q_EMIT seeked(ms * kUsPerMs); });
}

MprisService::~MprisService() {
    if (!bus_)
        return;
    bus_->unregisterService(serviceName_);
    bus_->unregisterObject(kObjectPath);
}

QString MprisService::publish(QDBusConnection bus) {
    if (bus_ || !bus.isConnected())
        return {};
    // The object before the name: a control that sees the name appear looks at the object at once.
    if (!bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors))
        return {};
    QString name = kServiceName;
    if (!bus.registerService(name)) {
        name += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus.registerService(name)) {
            bus.unregisterObject(kObjectPath);
            return {};
        }
    }
    bus_ = bus;
    serviceName_ = name;
    announced_ = announcedProperties();
    return name;
}

QString MprisService::playbackStatus() const {
    switch (playback_.status()) {
    case PlayerStatus::Connecting:
    case PlayerStatus::Buffering:
    case PlayerStatus::Playing:
    case PlayerStatus::Reconnecting:
        // On its way to playing or back to it: what the user asked for is playing.
        return QStringLiteral("Playing");
    case PlayerStatus::Paused:
        return QStringLiteral("Paused");
    case PlayerStatus::Idle:
    case PlayerStatus::Stopped:
    case PlayerStatus::CannotPlay:
        break;
    }
    return QStringLiteral("Stopped");
}

QVariantMap MprisService::metadata() const {
    if (!playback_.hasMedia())
        return {};
    QVariantMap map{
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId())},
        {QStringLiteral("xesam:title"), playback_.title()},
        {QStringLiteral("xesam:url"), uriOf(playback_.location())},
    };
    if (playback_.length() > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(playback_.length() * kUsPerMs));
    return map;
}

QDBusObjectPath MprisService::trackId() const {
    if (!playback_.hasMedia())
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(kTrackPrefix + QString::number(opening_));
}

qlonglong MprisService::positionUs() const {
    return playback_.position() * kUsPerMs;
}

double MprisService::volume() const {
    return playback_.volume() / 100.0;
}

QVariantMap MprisService::announcedProperties() const {
    QVariantMap properties;
    const QMetaObject* meta = player_->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (announced(property.name()))
            properties.insert(QString::fromLatin1(property.name()), property.read(player_));
    }
    return properties;
}

// Past the start it starts over; past the end it ends, as a seek past the end does in the bar.
void MprisService::seekBy(qlonglong offsetUs) {
    if (!playback_.seekable())
        return;
    playback_.seekTo(std::max<qint64>(playback_.position() + offsetUs / kUsPerMs, 0));
}

// Only within the track named, which must still be the one playing: a control that lags behind
// must not move another programme.
void MprisService::setPosition(const QDBusObjectPath& track, qlonglong positionUs) {
    if (track != trackId() || !playback_.hasMedia() || positionUs < 0 ||
        positionUs > playback_.length() * kUsPerMs)
        return;
    playback_.seekTo(positionUs / kUsPerMs);
}

void MprisService::setRate(double rate) {
    if (std::isnan(rate))
        return;
    // No speed at all is how a control says pause.
    if (rate == 0) {
        playback_.pause();
        return;
    }
    playback_.setRate(rate);
}

void MprisService::setVolume(double volume) {
    if (std::isnan(volume))
        return;
    playback_.setVolume(int(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

void MprisService::openUri(const QString& uri) {
    if (uri.trimmed().isEmpty())
        refuse(QDBusError::InvalidArgs, QStringLiteral("No address to open"));
    else if (locationKind(uri) == LocationKind::Other)
        refuse(QDBusError::NotSupported, QStringLiteral("Addresses of this kind do not play"));
    else if (hooks_.open)
        hooks_.open(uri);
    else
        playback_.open(uri);
}

void MprisService::refuse(QDBusError::ErrorType error, const QString& message) {
    if (calledFromDBus())
        sendErrorReply(error, message);
}

QStringList MprisService::supportedUriSchemes() {
    return playableSchemes();
}

// What the file dialog offers and what libVLC is known to play here.
QStringList MprisService::supportedMimeTypes() {
    return {
        QStringLiteral("video/x-ms-wmv"), QStringLiteral("video/x-ms-asf"),
        QStringLiteral("audio/x-ms-wma"), QStringLiteral("application/vnd.ms-asf"),
        QStringLiteral("video/mp4"),      QStringLiteral("video/x-matroska"),
        QStringLiteral("video/webm"),     QStringLiteral("video/x-msvideo"),
        QStringLiteral("video/mpeg"),     QStringLiteral("video/mp2t"),
        QStringLiteral("video/x-flv"),    QStringLiteral("video/ogg"),
        QStringLiteral("audio/ogg"),      QStringLiteral("audio/mpeg"),
        QStringLiteral("audio/x-wav"),    QStringLiteral("audio/wav"),
        QStringLiteral("audio/flac"),     QStringLiteral("audio/x-flac"),
        QStringLiteral("audio/mp4"),      QStringLiteral("audio/x-m4a"),
        QStringLiteral("audio/x-aiff"),   QStringLiteral("audio/basic"),
    };
}

void MprisService::scheduleAnnouncement() {
    if (!bus_ || std::exchange(announcing_, true))
        return;
    QTimer::singleShot(0, this, &MprisService::announce);
}

void MprisService::announce() {
    announcing_ = false;
    const QVariantMap now = announcedProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (announced_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    announced_ = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    bus_->send(signal);
}
