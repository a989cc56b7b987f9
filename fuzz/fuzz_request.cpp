// The station's request-head parser and the text helpers around it, on arbitrary bytes.
#include "FuzzCheck.h"
#include "HttpRequest.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool validUtf8WithoutControls(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t len = 1;
        if (b < 0x20 || b == 0x7F)
            return false;
        if (b >= 0xF0)
            len = 4;
        else if (b >= 0xE0)
            len = 3;
        else if (b >= 0xC0)
            len = 2;
        else if (b >= 0x80)
            return false;
        if (i + len > text.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += len;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // A small head limit too, so the fuzzer reaches the size checks with short inputs.
    for (const size_t limit : {station::kMaxRequestHead, size_t(64)}) {
        const station::ParseResult result = station::parseRequestHead(bytes, limit);
        FUZZ_CHECK(result.head.requestLine.size() <= station::kMaxRequestLine);
        if (result.status == station::ParseStatus::Complete) {
            FUZZ_CHECK(result.consumed > 0 && result.consumed <= bytes.size());
            FUZZ_CHECK(result.consumed <= limit);
            FUZZ_CHECK(!result.head.method.empty() && !result.head.target.empty());
            FUZZ_CHECK(result.head.version.size() == 8);
            FUZZ_CHECK(result.head.headers.size() <= station::kMaxHeaderCount);
            // Once complete, more bytes behind the head change nothing about it.
            const std::string longer = std::string(bytes) + "GET / HTTP/1.1\r\n";
            const station::ParseResult again = station::parseRequestHead(longer, limit);
            FUZZ_CHECK(again.status == station::ParseStatus::Complete);
            FUZZ_CHECK(again.consumed == result.consumed);
            FUZZ_CHECK(again.head.target == result.head.target);
            for (const auto& [name, value] : result.head.headers)
                FUZZ_CHECK(!station::headerValues(result.head, name).empty());
            const std::string_view path = station::targetPath(result.head.target);
            FUZZ_CHECK(std::string_view(result.head.target).substr(0, path.size()) == path);
        } else {
            FUZZ_CHECK(result.consumed == 0);
        }
    }

    bool clean = false;
    const std::string decoded = station::percentDecode(bytes, &clean);
    FUZZ_CHECK(decoded.size() <= bytes.size());
    if (bytes.find('%') == std::string_view::npos)
        FUZZ_CHECK(clean && decoded == bytes);
    FUZZ_CHECK(validUtf8WithoutControls(station::escapeForLog(bytes)));
    return 0;
}
