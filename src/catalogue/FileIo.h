#pragma once

#include <QString>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Whole-file reads and writes of byte texts. Paths are native (UTF-8 on Linux); contents are bytes.
//
// Every read opens without blocking and checks the open descriptor: only a regular file is read.
// A FIFO, a device, a socket or a folder in a file's place reads as unreadable, so no caller ever
// waits on another process. Every write goes to a fresh temporary file in the target's folder,
// flushed to disk and renamed over the target: readers, and a start after a crash, see either the
// old or the new content, never a mix.

// The largest file a plain read takes by default.
inline constexpr qint64 kDefaultReadLimit = qint64(64) << 20;

struct FileRead {
    enum class Outcome {
        Read,       // `bytes` holds the whole content
        Missing,    // nothing at all has that name (a dangling link is not missing: unreadable)
        Unreadable, // anything else: no permission, not a regular file, larger than the limit
    };
    Outcome outcome = Outcome::Missing;
    std::string bytes;
};

// Reads a regular file, following links, with at most `maxBytes` of content.
FileRead readRegularFile(const QString& path, qint64 maxBytes = kDefaultReadLimit);

// The whole content; nullopt when the file is missing or unreadable as above.
std::optional<std::string> readWholeFile(const QString& path, qint64 maxBytes = kDefaultReadLimit);

// Replaces the file at `path`. A link in that place is replaced itself, never written through.
// Returns false (leaving the old file) when anything fails.
bool writeFileAtomically(const QString& path, std::string_view bytes);

// Replaces the file a link at `path` leads to, or the file at `path` when it is no link; the
// content is the pieces one after the other. A link that leads nowhere is not followed into a new
// file elsewhere: false. The replaced file keeps its permission bits.
bool writeFileThroughLinks(const QString& path, std::span<const std::string_view> pieces);

// The size in bytes; nullopt when the file does not exist or cannot be measured.
std::optional<qint64> fileSize(const QString& path);

// Files the program keeps from the network, at `relative` ("/xzwj/xwlb.txt") inside `directory`.
// `directory` itself is trusted as given; inside it no link is followed, neither for the file nor
// for a folder on the way, so bytes from the network never land outside it, and a link in a data
// file's place reads as unreadable and is replaced by a write.
bool writeDataFile(const QString& directory, const QString& relative, std::string_view bytes);
std::optional<std::string> readDataFile(const QString& directory, const QString& relative,
                                        qint64 maxBytes = kDefaultReadLimit);
// The size of a regular data file; nullopt for anything else.
std::optional<qint64> dataFileSize(const QString& directory, const QString& relative);
