#include "ui/SettingsService.h"

#include "playback/PlaybackController.h"
#include "ui/WindowPlacement.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <utility>

static_assert(ViewerSettings::kDefaultVolume == PlaybackController::kDefaultVolume,
              "a first start sounds as a start without the file");

namespace {

// The screens' available areas, the primary first.
QList<QRect> availableScreens() {
    QList<QRect> screens;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screens << primary->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            screens << screen->availableGeometry();
    }
    return screens;
}

// Wayland tells a program neither where its window is nor lets it choose; a place remembered
// in an X session is kept for the next one.
bool placesAreKnown() {
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

} // namespace

SettingsService::SettingsService(QWidget& window, PlaybackController& playback, QString filePath,
                                 QObject* parent)
    : QObject(parent), window_(window), playback_(playback), path_(std::move(filePath)) {
    soundSave_.setSingleShot(true);
    soundSave_.setInterval(kSoundSaveDelayMs);
    connect(&soundSave_, &QTimer::timeout, this, &SettingsService::save);
    window.installEventFilter(this);
}

void SettingsService::restore() {
    stored_ = ViewerSettings::readFile(path_);
    settings_ = ViewerSettings::fromJson(stored_);
    playback_.setVolume(settings_.volume);
    playback_.setMuted(settings_.muted);
    if (settings_.window) {
        const QRect place = WindowPlacement::place(settings_.window->normal, window_.minimumSize(),
                                                   availableScreens());
        window_.setGeometry(place);
        settings_.window->normal = place;
        if (settings_.window->maximised)
            window_.setWindowState(window_.windowState() | Qt::WindowMaximized);
    }
    // Only now: the values just applied are the file's already.
    connect(&playback_, &PlaybackController::volumeChanged, &soundSave_,
            qOverload<>(&QTimer::start));
    connect(&playback_, &PlaybackController::mutedChanged, &soundSave_,
            qOverload<>(&QTimer::start));
    connect(qApp, &QCoreApplication::aboutToQuit, this, &SettingsService::save);
    Q_EMIT restored();
}

void SettingsService::save() {
    soundSave_.stop();
    settings_.volume = playback_.volume();
    settings_.muted = playback_.isMuted();
    if (shown_) {
        const bool maximised = window_.windowState() & Qt::WindowMaximized;
        QRect normal = maximised ? window_.normalGeometry() : window_.geometry();
        if (!placesAreKnown() && settings_.window)
            normal.moveTopLeft(settings_.window->normal.topLeft());
        if (normal.isValid())
            settings_.window = ViewerSettings::Window{normal, maximised};
    }
    Q_EMIT saved(settings_.writeFile(path_, stored_));
}

bool SettingsService::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Show)
        shown_ = true;
    return QObject::eventFilter(watched, event);
}
