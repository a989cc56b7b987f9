// The INI reader and writer on arbitrary file content: a write changes the one key's line (or adds
// it), keeps every other byte, and reads back as written.
#include "FuzzCheck.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

// What the reader makes of a written value: blanks trimmed, one pair of quotes removed.
std::string asRead(std::string_view value) {
    while (!value.empty() && isBlank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && isBlank(value.back()))
        value.remove_suffix(1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Section and key names, taken from the content's own lines, to probe what a write leaves alone.
std::vector<std::string> namesIn(std::string_view content) {
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos < content.size() && names.size() < 6) {
        size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = content.size();
        std::string_view line = content.substr(pos, end - pos);
        if (const size_t eq = line.find('='); eq != std::string_view::npos)
            names.emplace_back(line.substr(0, eq));
        if (const size_t open = line.find('['), close = line.rfind(']');
            open != std::string_view::npos && close != std::string_view::npos && close > open)
            names.emplace_back(line.substr(open + 1, close - open - 1));
        pos = end + 1;
    }
    for (std::string& name : names) {
        std::string_view trimmed = name;
        while (!trimmed.empty() && isBlank(trimmed.front()))
            trimmed.remove_prefix(1);
        while (!trimmed.empty() && isBlank(trimmed.back()))
            trimmed.remove_suffix(1);
        name = std::string(trimmed);
    }
    return names;
}

// The name a write uses: mostly one of the content's own, sometimes the settings' or new bytes.
std::string pickName(FuzzedDataProvider& in, const std::vector<std::string>& names,
                     const char* usual) {
    const int pick = in.ConsumeIntegralInRange(0, 3);
    if (pick == 0 && !names.empty())
        return names[in.ConsumeIntegralInRange<size_t>(0, names.size() - 1)];
    if (pick == 1)
        return usual;
    return in.ConsumeRandomLengthString(12);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string content = in.ConsumeRandomLengthString(4096);
    const std::vector<std::string> names = namesIn(content);
    const std::string section = pickName(in, names, "shou");
    const std::string key = pickName(in, names, "gengxing");
    const std::string value = in.ConsumeRandomLengthString(16);

    const std::optional<std::string> before = iniValue(content, section, key);
    const std::optional<std::string> written = withIniValue(content, section, key, value);
    if (!written)
        return 0;
    const std::string& after = *written;

    // The value reads back as written.
    const std::optional<std::string> readBack = iniValue(after, section, key);
    FUZZ_CHECK(readBack.has_value());
    FUZZ_CHECK(*readBack == asRead(value));

    // Every other byte stays: what differs between the two texts is at most the rest of one line
    // of the old text, replaced by at most one new section header and key line.
    size_t prefix = 0;
    while (prefix < content.size() && prefix < after.size() && content[prefix] == after[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < content.size() - prefix && suffix < after.size() - prefix &&
           content[content.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed =
        std::string_view(content).substr(prefix, content.size() - prefix - suffix);
    FUZZ_CHECK(removed.find_first_of("\r\n") == std::string_view::npos);
    FUZZ_CHECK(after.size() - prefix - suffix <= section.size() + key.size() + value.size() + 12);
    if (before)
        FUZZ_CHECK(after.size() - prefix - suffix <= value.size());

    // Other keys read as before. A name that the write's own names stand for (names compare
    // without regard to case) may read the new value, and nothing else.
    for (const std::string& s : names) {
        for (const std::string& k : names) {
            const std::optional<std::string> was = iniValue(content, s, k);
            const std::optional<std::string> is = iniValue(after, s, k);
            if (was != is)
                FUZZ_CHECK(is == readBack);
        }
        const std::optional<std::string> was = iniValue(content, s, key);
        const std::optional<std::string> is = iniValue(after, s, key);
        if (was != is)
            FUZZ_CHECK(is == readBack);
    }

    // Writing the same value again changes nothing, unless the value starts with blanks that the
    // reader trims (they are written again in front of the kept ones).
    if (value.empty() || !isBlank(value.front())) {
        const std::optional<std::string> again = withIniValue(after, section, key, value);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(*again == after);
    }
    return 0;
}
