#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>

class MprisPlayerAdaptor;
class PlaybackController;

// What the desktop's media controls may ask of the program besides playing.
struct MprisHooks {
    std::function<void()> raise; // the main window to the front
    std::function<void()> quit;  // the program ends, as 退出 ends it
    // Plays an address the player takes, as 打开URL plays it; without it the playback object
    // opens the address itself.
    std::function<void(const QString& uri)> open;
};

// The player as the desktop's media controls (MPRIS2) see it: the object at
// /org/mpris/MediaPlayer2 with its two interfaces (MprisAdaptors.h), under the name
// org.mpris.MediaPlayer2.velmora-tv. Commands go to the playback object; every change of what the
// controls show is announced with PropertiesChanged, once, on the next turn of the event loop.
class MprisService : public QObject, protected QDBusContext {
    Q_OBJECT
  public:
    static inline const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.velmora-tv");
    static inline const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

    MprisService(PlaybackController& playback, MprisHooks hooks, QObject* parent = nullptr);
    ~MprisService() override;

    // Puts the object and its name on `bus`. Where another viewer holds the name, this one takes
    // kServiceName + ".instance<pid>", as the media controls expect of a second player. The name
    // taken; empty when the bus cannot be used, and the viewer then plays on without it.
    QString publish(QDBusConnection bus);

    PlaybackController& playback() const { return playback_; }
    const MprisHooks& hooks() const { return hooks_; }

    // The state as the interfaces present it.
    QString playbackStatus() const;
    QVariantMap metadata() const;
    QDBusObjectPath trackId() const;
    qlonglong positionUs() const;
    double volume() const;
    // Every property of the player interface that can change, but the position: that moves all the
    // time, and Seeked tells when it jumps.
    QVariantMap announcedProperties() const;

    // The commands that carry rules of their own. Those that are refused answer the caller with
    // a D-Bus error.
    void seekBy(qlonglong offsetUs);
    void setPosition(const QDBusObjectPath& track, qlonglong positionUs);
    void setRate(double rate);
    void setVolume(double volume);
    void openUri(const QString& uri);

    static QStringList supportedUriSchemes();
    static QStringList supportedMimeTypes();

  Q_SIGNALS:
    void seeked(qlonglong positionUs);

  private:
    // Answers a caller on the bus with `error`; a call from within the program has no one to tell.
    void refuse(QDBusError::ErrorType error, const QString& message);
    void scheduleAnnouncement();
    void announce();

    PlaybackController& playback_;
    const MprisHooks hooks_;
    MprisPlayerAdaptor* player_ = nullptr;
    std::optional<QDBusConnection> bus_;
    QString serviceName_;
    quint64 opening_ = 0; // counts the openings, for the track's identity
    QVariantMap announced_;
    bool announcing_ = false;
};
