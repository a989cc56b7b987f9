// The display conversion of cut GBK bytes, from either end: never more characters than bytes, and
// ASCII passes unchanged.
#include "FuzzCheck.h"
#include "catalogue/Gbk.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    bool ascii = true;
    for (char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;

    for (const GbkCut cut : {GbkCut::CleanStart, GbkCut::CleanEnd}) {
        const QString shown = gbkToDisplay(bytes, cut);
        FUZZ_CHECK(size_t(shown.size()) <= bytes.size());
        if (ascii)
            FUZZ_CHECK(shown == QLatin1String(bytes.data(), qsizetype(bytes.size())));
        // Every ASCII byte outside a double-byte pair shows as itself, so a broken byte never
        // takes its neighbour: at least the ASCII bytes that no lead byte can claim survive.
        qsizetype plainAscii = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            const bool afterLead =
                i > 0 && static_cast<unsigned char>(bytes[i - 1]) >= 0x81 && b >= 0x40;
            if (b < 0x40 && !afterLead)
                ++plainAscii;
        }
        qsizetype shownAscii = 0;
        for (const QChar c : shown)
            shownAscii += c.unicode() < 0x40 ? 1 : 0;
        FUZZ_CHECK(shownAscii >= plainAscii);
    }
    return 0;
}
