// The demo clips a programme title streams as.
#pragma once

#include "Mmsh.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace station {

struct Clip {
    std::string name;
    std::string bytes;
    AsfLayout layout;

    std::string_view header() const {
        return std::string_view(bytes).substr(0, layout.headerLength);
    }
    std::string_view packet(std::uint64_t i) const {
        return std::string_view(bytes).substr(layout.dataOffset() + i * layout.packetSize,
                                              layout.packetSize);
    }
};

// The demo clips the build makes, in a fixed order: the order is part of the title -> clip mapping.
std::span<const std::string_view> demoClipNames();

// FNV-1a over the title's bytes; stable across runs and platforms.
std::uint32_t titleHash(std::string_view title);

// Titles the station pretends it has no file for.
bool isMissingTitle(std::string_view title);

class ClipLibrary {
  public:
    explicit ClipLibrary(std::filesystem::path dir);

    // The clip for a title: the demo clip the hash picks, or the next one that loads. Null when
    // none loads (or the title is a "missing" one).
    std::shared_ptr<const Clip> clipForTitle(std::string_view title);

    // Loads and checks one file; null when it is not a streamable ASF file.
    static std::shared_ptr<const Clip> loadClip(const std::filesystem::path& file);

  private:
    std::shared_ptr<const Clip> cached(std::string_view name);

    std::filesystem::path dir_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const Clip>, std::less<>> cache_;
};

} // namespace station
