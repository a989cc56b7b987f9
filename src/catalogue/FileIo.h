#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

// Whole-file reads and writes of byte texts. Paths are native (UTF-8 on Linux); contents are bytes.

// Replaces the file's whole content atomically: a temporary file in the same folder, flushed to
// disk, then renamed over the target. Readers, and a start after a crash, see either the old or
// the new content, never a mix. Returns false (leaving the old file) when anything fails.
bool writeFileAtomically(const QString& path, std::string_view bytes);

// The whole content; nullopt when the file cannot be opened or read.
std::optional<std::string> readWholeFile(const QString& path);

// The size in bytes; nullopt when the file does not exist or cannot be measured.
std::optional<qint64> fileSize(const QString& path);
