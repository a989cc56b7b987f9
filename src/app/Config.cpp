#include "app/Config.h"

#include <QStandardPaths>

namespace {

QString textOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

Config Config::defaults() {
    Config config;
    config.stationHost = QStringLiteral(VELMORA_STATION_HOST);
    config.adUrl = QStringLiteral(VELMORA_AD_URL);
    return config;
}

Config Config::fromEnvironment() {
    Config config = defaults();
    config.stationHost = textOr("VELMORA_STATION", config.stationHost);
    config.adUrl = textOr("VELMORA_AD_URL", config.adUrl);
    config.engine.audioOutput = qgetenv("VELMORA_AUDIO_OUTPUT");
    config.engine.videoThroughWindow = qgetenv("VELMORA_VIDEO_OUTPUT") == "toolkit";
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VELMORA_OPEN_TIMEOUT_MS", &ok);
    if (ok && ms > 0)
        config.engine.openTimeout = std::chrono::milliseconds(ms);
    config.tracePath = qEnvironmentVariable("VELMORA_TRACE");
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty())
        config.downloadsFolder = videos + QStringLiteral("/Velmora网络电视");
    return config;
}
