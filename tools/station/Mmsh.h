// MMS over HTTP: ASF file layout and the chunk framing the player expects.
#pragma once

#include "HttpRequest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace station {

// Where the parts of an ASF file lie. All offsets are checked against the file's size.
struct AsfLayout {
    std::uint64_t headerObjectSize = 0; // the ASF header object
    std::uint64_t headerLength = 0;     // header object plus the 50-byte data-object header
    std::uint64_t packetSize = 0;       // fixed data packet size
    std::uint64_t packetCount = 0;      // whole packets present in the file
    std::uint64_t playDuration100ns = 0;
    std::uint64_t prerollMs = 0;
    std::uint32_t maxBitrate = 0;

    std::uint64_t dataOffset() const { return headerLength; }
    // Average data rate of the packets in bytes per second, 0 when the file does not say.
    double bytesPerSecond() const;
};

constexpr std::size_t kAsfDataObjectHeaderSize = 50;
// The player keeps one chunk in a 64 KiB buffer together with the 12-byte chunk header.
constexpr std::size_t kMaxChunkPayload = 65536 - 12;

std::optional<AsfLayout> parseAsf(std::string_view file);

enum class ChunkType : char { Header = 'H', Data = 'D', End = 'E' };

// '$', type, u16 length (8 + payload), u32 sequence, u8 0, u8 flags, u16 length, payload.
std::string frameChunk(ChunkType type, std::uint32_t sequence, std::uint8_t flags,
                       std::string_view payload);

struct ChunkHeader {
    char type = 0;
    std::uint16_t length = 0;
    std::uint32_t sequence = 0;
    std::uint8_t incarnation = 0;
    std::uint8_t flags = 0;
    std::uint16_t length2 = 0;
};
constexpr std::size_t kChunkHeaderSize = 12;

// Reads a chunk header at the start of bytes; nullopt when there are too few bytes or no '$'.
std::optional<ChunkHeader> parseChunkHeader(std::string_view bytes);

struct StreamRequest {
    bool play = false;              // false: describe
    std::uint64_t streamOffset = 0; // byte offset into the data packets
    // How many times the clip's own rate the client asks to be sent ("Speed=5.000", as a client
    // that keeps the programme asks); 0 when it does not ask.
    double speed = 0;
};

// Describe or play, and where to start, from the request's Pragma headers.
StreamRequest classifyStreamRequest(const RequestHead& head);

// The decoded title of "/sp/<title>.wmv" (path already without query), or nullopt for any other
// path. The title keeps whatever bytes the escapes gave.
std::optional<std::string> streamTitleFromPath(std::string_view path);

} // namespace station
