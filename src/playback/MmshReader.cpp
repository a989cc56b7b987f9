#include "playback/MmshReader.h"

#include <array>
#include <cstring>
#include <limits>

namespace {

using Guid = std::array<unsigned char, 16>;

constexpr Guid kHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kDataObject{0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFileProperties{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                               0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

constexpr qint64 kObjectHeader = 24;
constexpr qint64 kHeaderObjectFixed = 30;
constexpr qint64 kFilePropertiesSize = 104;
constexpr qint64 kDataObjectHeader = 50;
constexpr quint32 kBroadcastFlag = 0x01;
// The most a chunk carries: its 16-bit length counts the packet's own 8 bytes too. A header that
// says its packets are larger describes no stream, and padding to its size would take gigabytes.
constexpr quint64 kMaxPacketSize = 0xFFFF - 8;
// The framing before a chunk's payload: '$', type, length, then the packet's own 8 bytes.
constexpr qsizetype kFraming = 4;
constexpr qsizetype kChunkHeader = 12;

bool guidAt(QByteArrayView bytes, qint64 at, const Guid& guid) {
    return at >= 0 && bytes.size() - at >= qint64(guid.size()) &&
           std::memcmp(bytes.data() + at, guid.data(), guid.size()) == 0;
}

quint64 le(QByteArrayView bytes, qint64 at, int count) {
    quint64 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

} // namespace

std::optional<qint64> asfHeaderLength(QByteArrayView bytes) {
    if (bytes.size() < kObjectHeader || !guidAt(bytes, 0, kHeaderObject))
        return std::nullopt;
    const quint64 size = le(bytes, 16, 8);
    if (size < quint64(kHeaderObjectFixed) ||
        size > quint64(MmshReader::kMaxHeaderBytes - kDataObjectHeader))
        return std::nullopt;
    return qint64(size) + kDataObjectHeader;
}

std::optional<AsfFacts> readAsfHeader(QByteArrayView bytes) {
    const std::optional<qint64> length = asfHeaderLength(bytes);
    if (!length || bytes.size() < *length)
        return std::nullopt;
    const qint64 objectSize = *length - kDataObjectHeader;
    AsfFacts facts;
    facts.headerLength = *length;
    bool properties = false;
    bool broadcast = false;
    quint64 count = 0;
    for (qint64 at = kHeaderObjectFixed; objectSize - at >= kObjectHeader;) {
        const quint64 size = le(bytes, at + 16, 8);
        if (size < quint64(kObjectHeader) || size > quint64(objectSize - at))
            return std::nullopt;
        if (guidAt(bytes, at, kFileProperties)) {
            if (size < quint64(kFilePropertiesSize))
                return std::nullopt;
            count = le(bytes, at + 56, 8);
            broadcast = le(bytes, at + 88, 4) & kBroadcastFlag;
            const quint64 least = le(bytes, at + 92, 4);
            const quint64 most = le(bytes, at + 96, 4);
            if (least != most || least == 0 || least > kMaxPacketSize)
                return std::nullopt;
            facts.packetSize = qint64(least);
            properties = true;
        }
        at += qint64(size);
    }
    if (!properties || !guidAt(bytes, objectSize, kDataObject))
        return std::nullopt;
    if (count == 0)
        count = le(bytes, objectSize + 40, 8);
    // A broadcast's counts mean nothing; a count no file could hold is none either.
    const quint64 most =
        quint64(std::numeric_limits<qint64>::max() - *length) / quint64(facts.packetSize);
    facts.packetCount = broadcast || count > most ? 0 : qint64(count);
    return facts;
}

bool MmshReader::fail() {
    broken_ = true;
    pending_.clear();
    packets_.clear();
    return false;
}

bool MmshReader::feed(QByteArrayView bytes) {
    if (broken_)
        return false;
    if (ended_)
        return true;
    pending_.append(bytes);
    qsizetype at = 0;
    while (pending_.size() - at >= kFraming) {
        const QByteArrayView rest = QByteArrayView(pending_).sliced(at);
        if (rest[0] != '$')
            return fail();
        const qsizetype length = qsizetype(le(rest, 2, 2));
        if (rest.size() < kFraming + length)
            break;
        const char type = rest[1];
        if (type == 'E') {
            ended_ = true;
            pending_.clear();
            return true;
        }
        if (length < kChunkHeader - kFraming)
            return fail();
        if (!takeChunk(type, rest.sliced(kChunkHeader, kFraming + length - kChunkHeader)))
            return fail();
        at += kFraming + length;
    }
    pending_.remove(0, at);
    return true;
}

bool MmshReader::takeChunk(char type, QByteArrayView payload) {
    switch (type) {
    case 'H': {
        if (facts_)
            return false; // a second header: another file follows, not this one
        header_.append(payload);
        const std::optional<qint64> length = asfHeaderLength(header_);
        if (!length)
            return header_.size() < kObjectHeader;
        if (header_.size() > *length)
            return false;
        if (header_.size() == *length) {
            facts_ = readAsfHeader(header_);
            return facts_.has_value();
        }
        return true;
    }
    case 'D': {
        if (!facts_ || payload.size() > facts_->packetSize)
            return false;
        packets_.append(payload);
        // The padding a server may leave out is zeros.
        packets_.append(QByteArray(facts_->packetSize - payload.size(), '\0'));
        return true;
    }
    case 'C':
        return false; // the stream changes to another file
    default:
        return true; // metadata and the like: nothing of the file
    }
}

QByteArray MmshReader::takePackets() {
    return std::exchange(packets_, QByteArray());
}
