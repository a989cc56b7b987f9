#include "Mmsh.h"

#include <array>
#include <charconv>
#include <cstring>

namespace station {

namespace {

using Guid = std::array<unsigned char, 16>;

constexpr Guid kHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kDataObject{0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFilePropertiesObject{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                     0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

constexpr std::uint64_t kObjectHeaderSize = 24;
constexpr std::uint64_t kHeaderObjectFixedSize = 30;
constexpr std::uint64_t kFilePropertiesSize = 104;
// Anything larger is not a header a streaming client would take in.
constexpr std::uint64_t kMaxHeaderObjectSize = 16 * 1024 * 1024;

bool guidAt(std::string_view b, std::uint64_t at, const Guid& g) {
    return at <= b.size() && b.size() - at >= g.size() &&
           std::memcmp(b.data() + at, g.data(), g.size()) == 0;
}

std::uint64_t le(std::string_view b, std::uint64_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::uint64_t>(i)]);
    return v;
}

void putLe(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace

double AsfLayout::bytesPerSecond() const {
    const double seconds =
        static_cast<double>(playDuration100ns) / 1e7 - static_cast<double>(prerollMs) / 1e3;
    const double bytes = static_cast<double>(packetCount) * static_cast<double>(packetSize);
    if (seconds > 0.1 && bytes > 0)
        return bytes / seconds;
    if (maxBitrate > 0)
        return maxBitrate / 8.0;
    return 0;
}

std::optional<AsfLayout> parseAsf(std::string_view file) {
    if (!guidAt(file, 0, kHeaderObject) || file.size() < kHeaderObjectFixedSize)
        return std::nullopt;
    AsfLayout layout;
    layout.headerObjectSize = le(file, 16, 8);
    if (layout.headerObjectSize < kHeaderObjectFixedSize ||
        layout.headerObjectSize > kMaxHeaderObjectSize || layout.headerObjectSize > file.size() ||
        file.size() - layout.headerObjectSize < kAsfDataObjectHeaderSize)
        return std::nullopt;

    bool haveFileProperties = false;
    std::uint64_t declaredPackets = 0;
    std::uint64_t at = kHeaderObjectFixedSize;
    while (layout.headerObjectSize - at >= kObjectHeaderSize) {
        const std::uint64_t size = le(file, at + 16, 8);
        if (size < kObjectHeaderSize || size > layout.headerObjectSize - at)
            return std::nullopt;
        if (guidAt(file, at, kFilePropertiesObject)) {
            if (size < kFilePropertiesSize)
                return std::nullopt;
            declaredPackets = le(file, at + 56, 8);
            layout.playDuration100ns = le(file, at + 64, 8);
            layout.prerollMs = le(file, at + 80, 8);
            const std::uint64_t minPacket = le(file, at + 92, 4);
            const std::uint64_t maxPacket = le(file, at + 96, 4);
            layout.maxBitrate = static_cast<std::uint32_t>(le(file, at + 100, 4));
            if (minPacket != maxPacket || minPacket == 0 || minPacket > kMaxChunkPayload)
                return std::nullopt;
            layout.packetSize = minPacket;
            haveFileProperties = true;
        }
        at += size;
    }
    if (!haveFileProperties)
        return std::nullopt;

    const std::uint64_t dataObject = layout.headerObjectSize;
    if (!guidAt(file, dataObject, kDataObject))
        return std::nullopt;
    layout.headerLength = dataObject + kAsfDataObjectHeaderSize;
    if (declaredPackets == 0) // broadcast-style files leave it to the data object
        declaredPackets = le(file, dataObject + 40, 8);
    const std::uint64_t present = (file.size() - layout.headerLength) / layout.packetSize;
    layout.packetCount = declaredPackets == 0 ? present : std::min(declaredPackets, present);
    return layout;
}

std::string frameChunk(ChunkType type, std::uint32_t sequence, std::uint8_t flags,
                       std::string_view payload) {
    if (payload.size() > kMaxChunkPayload)
        payload = payload.substr(0, kMaxChunkPayload);
    const auto length = static_cast<std::uint16_t>(8 + payload.size());
    std::string out;
    out.reserve(kChunkHeaderSize + payload.size());
    out += '$';
    out += static_cast<char>(type);
    putLe(out, length, 2);
    putLe(out, sequence, 4);
    out += '\0';
    out += static_cast<char>(flags);
    putLe(out, length, 2);
    out.append(payload);
    return out;
}

std::optional<ChunkHeader> parseChunkHeader(std::string_view bytes) {
    if (bytes.size() < kChunkHeaderSize || bytes[0] != '$')
        return std::nullopt;
    ChunkHeader h;
    h.type = bytes[1];
    h.length = static_cast<std::uint16_t>(le(bytes, 2, 2));
    h.sequence = static_cast<std::uint32_t>(le(bytes, 4, 4));
    h.incarnation = static_cast<std::uint8_t>(bytes[8]);
    h.flags = static_cast<std::uint8_t>(bytes[9]);
    h.length2 = static_cast<std::uint16_t>(le(bytes, 10, 2));
    return h;
}

namespace {

std::uint32_t parseU32(std::string_view s) {
    std::uint32_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return 0;
    return v;
}

// "1*DIGIT ["." 1*3DIGIT]", at least 1; 0 for anything else.
double parseSpeed(std::string_view s) {
    const std::size_t dot = s.find('.');
    const std::string_view whole = s.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? "" : s.substr(dot + 1);
    if (whole.empty() || whole.size() > 10 || fraction.size() > 3 ||
        (dot != std::string_view::npos && fraction.empty()))
        return 0;
    double value = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    double scale = 0.1;
    for (char c : fraction) {
        if (c < '0' || c > '9')
            return 0;
        value += (c - '0') * scale;
        scale /= 10;
    }
    return value >= 1 ? value : 0;
}

} // namespace

StreamRequest classifyStreamRequest(const RequestHead& head) {
    StreamRequest r;
    for (std::string_view value : headerValues(head, "Pragma")) {
        // Values are comma-separated directives, possibly several per header.
        while (!value.empty()) {
            const std::size_t comma = value.find(',');
            std::string_view item = value.substr(0, comma);
            value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
            while (!item.empty() && item.front() == ' ')
                item.remove_prefix(1);
            while (!item.empty() && item.back() == ' ')
                item.remove_suffix(1);
            if (item == "xPlayStrm=1") {
                r.play = true;
            } else if (item.substr(0, 6) == "Speed=") {
                r.speed = parseSpeed(item.substr(6));
            } else if (item.substr(0, 14) == "stream-offset=") {
                const std::string_view v = item.substr(14);
                const std::size_t colon = v.find(':');
                if (colon != std::string_view::npos) {
                    const std::uint64_t hi = parseU32(v.substr(0, colon));
                    const std::uint64_t lo = parseU32(v.substr(colon + 1));
                    r.streamOffset = (hi << 32) | lo;
                }
            }
        }
    }
    return r;
}

std::optional<std::string> streamTitleFromPath(std::string_view path) {
    constexpr std::string_view prefix = "/sp/";
    constexpr std::string_view suffix = ".wmv";
    if (path.size() < prefix.size() + suffix.size() || path.substr(0, prefix.size()) != prefix ||
        path.substr(path.size() - suffix.size()) != suffix)
        return std::nullopt;
    return percentDecode(path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()));
}

} // namespace station
