#include "app/Config.h"

namespace {
QString fromEnvironment(const char* name, const char* fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromUtf8(fallback) : value;
}
} // namespace

QString stationHost() {
    return fromEnvironment("VELMORA_STATION", VELMORA_STATION_HOST);
}

QString adUrl() {
    return fromEnvironment("VELMORA_AD_URL", VELMORA_AD_URL);
}
