#include "ClipLibrary.h"

#include <array>
#include <fstream>
#include <iterator>
#include <system_error>

namespace station {

namespace {

constexpr std::array<std::string_view, 5> kDemoClips{
    "demo-testsrc.wmv", "demo-smptebars.wmv", "demo-life.wmv", "demo-colours.wmv", "demo-long.wmv",
};

constexpr std::uintmax_t kMaxClipBytes = 256u * 1024 * 1024;

} // namespace

std::span<const std::string_view> demoClipNames() {
    return kDemoClips;
}

std::uint32_t titleHash(std::string_view title) {
    std::uint32_t h = 2166136261u;
    for (char c : title) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

bool isMissingTitle(std::string_view title) {
    return title.substr(0, 7) == "missing";
}

ClipLibrary::ClipLibrary(std::filesystem::path dir) : dir_(std::move(dir)) {}

std::shared_ptr<const Clip> ClipLibrary::loadClip(const std::filesystem::path& file) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxClipBytes)
        return nullptr;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return nullptr;
    auto clip = std::make_shared<Clip>();
    clip->name = file.filename().string();
    clip->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::optional<AsfLayout> layout = parseAsf(clip->bytes);
    if (!layout || layout->packetCount == 0)
        return nullptr;
    clip->layout = *layout;
    return clip;
}

std::shared_ptr<const Clip> ClipLibrary::cached(std::string_view name) {
    std::lock_guard lock(mutex_);
    const auto it = cache_.find(name);
    if (it != cache_.end())
        return it->second;
    // A failed load is remembered too, so a broken file costs one read per run.
    auto clip = loadClip(dir_ / std::string(name));
    cache_.emplace(std::string(name), clip);
    return clip;
}

std::shared_ptr<const Clip> ClipLibrary::clipForTitle(std::string_view title) {
    if (isMissingTitle(title))
        return nullptr;
    const std::size_t n = kDemoClips.size();
    const std::size_t first = titleHash(title) % n;
    for (std::size_t i = 0; i < n; ++i) {
        if (auto clip = cached(kDemoClips[(first + i) % n]))
            return clip;
    }
    return nullptr;
}

} // namespace station
