#include "app/MprisAdaptors.h"

#include "app/MprisService.h"
#include "playback/PlaybackController.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}

QString MprisRootAdaptor::identity() const {
    return QStringLiteral("Velmora网络电视");
}

// The installed desktop entry is named after the application id.
QString MprisRootAdaptor::desktopEntry() const {
    return QStringLiteral(VELMORA_APP_ID);
}

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return MprisService::supportedUriSchemes();
}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    return MprisService::supportedMimeTypes();
}

void MprisRootAdaptor::Raise() {
    if (service_.hooks().raise)
        service_.hooks().raise();
}

void MprisRootAdaptor::Quit() {
    if (service_.hooks().quit)
        service_.hooks().quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {
    connect(service, &MprisService::seeked, this, &MprisPlayerAdaptor::Seeked);
}

QString MprisPlayerAdaptor::playbackStatus() const {
    return service_.playbackStatus();
}

double MprisPlayerAdaptor::rate() const {
    return service_.playback().rate();
}

void MprisPlayerAdaptor::setRate(double rate) {
    service_.setRate(rate);
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return service_.metadata();
}

double MprisPlayerAdaptor::volume() const {
    return service_.volume();
}

void MprisPlayerAdaptor::setVolume(double volume) {
    service_.setVolume(volume);
}

qlonglong MprisPlayerAdaptor::position() const {
    return service_.positionUs();
}

double MprisPlayerAdaptor::minimumRate() const {
    return PlaybackController::kMinRate;
}

double MprisPlayerAdaptor::maximumRate() const {
    return PlaybackController::kMaxRate;
}

// One programme at a time: there is no list to go through.
bool MprisPlayerAdaptor::canGoNext() const {
    return false;
}

bool MprisPlayerAdaptor::canGoPrevious() const {
    return false;
}

bool MprisPlayerAdaptor::canPlay() const {
    return service_.playback().hasMedia();
}

bool MprisPlayerAdaptor::canPause() const {
    return service_.playback().hasMedia();
}

bool MprisPlayerAdaptor::canSeek() const {
    return service_.playback().seekable();
}

void MprisPlayerAdaptor::Next() {}

void MprisPlayerAdaptor::Previous() {}

void MprisPlayerAdaptor::Pause() {
    service_.playback().pause();
}

void MprisPlayerAdaptor::PlayPause() {
    service_.playback().togglePause();
}

void MprisPlayerAdaptor::Stop() {
    service_.playback().stop();
}

void MprisPlayerAdaptor::Play() {
    service_.playback().play();
}

void MprisPlayerAdaptor::Seek(qlonglong Offset) {
    service_.seekBy(Offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    service_.setPosition(TrackId, Position);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri) {
    service_.openUri(Uri);
}
