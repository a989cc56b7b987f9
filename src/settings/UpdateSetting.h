#pragma once

#include <QString>

// The update preference: "1" (automatic) or "0" (manual) under [shou] gengxing in index.ini in
// the program directory. It lives only in the file and is read afresh on every call; nothing in
// the program acts on it.

QString settingsFilePath(const QString& programDirectory);

// True only when the stored value is exactly "1"; a missing file, section or key, an empty value
// or any other text means manual update.
bool storedAutomaticUpdate(const QString& programDirectory);

// Stores "1" or "0". False when the file could not be written; callers ignore that.
bool storeAutomaticUpdate(const QString& programDirectory, bool automatic);
