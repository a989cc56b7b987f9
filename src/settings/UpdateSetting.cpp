#include "settings/UpdateSetting.h"

#include "settings/IniFile.h"

namespace {
constexpr std::string_view kSection = "shou";
constexpr std::string_view kKey = "gengxing";
} // namespace

QString settingsFilePath(const QString& programDirectory) {
    return programDirectory + QStringLiteral("/index.ini");
}

bool storedAutomaticUpdate(const QString& programDirectory) {
    return readIniValue(settingsFilePath(programDirectory), kSection, kKey) == "1";
}

bool storeAutomaticUpdate(const QString& programDirectory, bool automatic) {
    return writeIniValue(settingsFilePath(programDirectory), kSection, kKey, automatic ? "1" : "0");
}
