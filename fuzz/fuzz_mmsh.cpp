// The viewer's reader of MMS-over-HTTP streams on arbitrary bytes, fed in two pieces: whatever it
// takes is an ASF header of the length it says followed by whole packets of the header's size,
// and once broken it takes nothing more.
#include "FuzzCheck.h"
#include "playback/MmshReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const qsizetype cut = std::min<qsizetype>(bytes.size(), data[0] * 64);
    MmshReader reader;
    qint64 packets = 0;
    for (const QByteArrayView piece : {bytes.first(cut), bytes.sliced(cut)}) {
        const bool taken = reader.feed(piece);
        FUZZ_CHECK(taken == !reader.broken());
        const QByteArray came = reader.takePackets();
        if (!came.isEmpty()) {
            FUZZ_CHECK(reader.facts() && came.size() % reader.facts()->packetSize == 0);
            packets += came.size();
        }
    }
    if (reader.facts()) {
        FUZZ_CHECK(reader.header().size() == reader.facts()->headerLength);
        const std::optional<AsfFacts> again = readAsfHeader(reader.header());
        FUZZ_CHECK(again && again->packetSize == reader.facts()->packetSize &&
                   again->packetCount == reader.facts()->packetCount);
        FUZZ_CHECK(reader.header().size() <= MmshReader::kMaxHeaderBytes);
        FUZZ_CHECK(reader.facts()->packetSize <= 0xFFFF - 8);
    } else {
        FUZZ_CHECK(packets == 0);
    }
    if (reader.broken()) {
        FUZZ_CHECK(!reader.feed(QByteArrayView("$E\x08\x00", 4)));
        FUZZ_CHECK(reader.takePackets().isEmpty());
    }
    return 0;
}
