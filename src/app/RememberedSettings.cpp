#include "app/RememberedSettings.h"

#include "app/Trace.h"
#include "ui/MainWindow.h"
#include "ui/SettingsService.h"

namespace {

QString describe(const ViewerSettings& settings) {
    QString window = QStringLiteral("default");
    if (const auto& place = settings.window) {
        window = QStringLiteral("%1,%2 %3x%4 maximised=%5")
                     .arg(place->normal.x())
                     .arg(place->normal.y())
                     .arg(place->normal.width())
                     .arg(place->normal.height())
                     .arg(int(place->maximised));
    }
    return QStringLiteral("volume=%1 muted=%2 window=%3")
        .arg(settings.volume)
        .arg(int(settings.muted))
        .arg(window);
}

} // namespace

std::unique_ptr<SettingsService> rememberSettings(MainWindow& window, PlaybackController& playback,
                                                  const QString& programDirectory) {
    auto service = std::make_unique<SettingsService>(
        window, playback, programDirectory + QLatin1Char('/') + ViewerSettings::kFileName);
    SettingsService* settings = service.get();
    QObject::connect(settings, &SettingsService::restored, settings, [settings] {
        trace(QStringLiteral("settings ") + describe(settings->settings()));
    });
    QObject::connect(settings, &SettingsService::saved, settings, [settings](bool written) {
        trace((written ? QStringLiteral("settings-saved ") : QStringLiteral("settings-unsaved ")) +
              describe(settings->settings()));
    });
    settings->restore();
    return service;
}
