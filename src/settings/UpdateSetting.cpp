#include "settings/UpdateSetting.h"

#include "app/ProgramState.h"
#include "settings/IniFile.h"

namespace {
constexpr std::string_view kSection = "shou";
constexpr std::string_view kKey = "gengxing";
} // namespace

QString settingsFilePath() {
    return ProgramDirectory() + QStringLiteral("/index.ini");
}

bool storedAutomaticUpdate() {
    return readIniValue(settingsFilePath(), kSection, kKey) == "1";
}

bool storeAutomaticUpdate(bool automatic) {
    return writeIniValue(settingsFilePath(), kSection, kKey, automatic ? "1" : "0");
}
