// The content-section cut and the entry loop of all five rows, on arbitrary page bytes.
#include "FuzzCheck.h"
#include "catalogue/PageExtraction.h"
#include "catalogue/TvStation.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kStart = "<!--Content Start-->";
constexpr std::string_view kEnd = "<!--Content End-->";

void checkLines(const CategoryRow& row, std::string_view section) {
    const std::vector<std::string> lines = extractEntryLines(row, section);
    FUZZ_CHECK(lines.size() == size_t(row.entryCount));
    for (const std::string& line : lines) {
        // label | title (≤ 14) | link (≤ 38) CR LF, every piece cut from the section.
        FUZZ_CHECK(line.size() >= row.label.size() + 4);
        FUZZ_CHECK(line.size() <= row.label.size() + 1 + 14 + 1 + 38 + 2);
        FUZZ_CHECK(line.compare(0, row.label.size() + 1, row.label + "|") == 0);
        FUZZ_CHECK(line.compare(line.size() - 2, 2, "\r\n") == 0);
        if (section.empty())
            FUZZ_CHECK(line == row.label + "||\r\n");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    const std::string section = cutContentSection(page);

    // The section is a piece of the page; with both markers in order it is exactly what lies
    // between them.
    FUZZ_CHECK(section.size() <= page.size());
    FUZZ_CHECK(section.empty() || page.find(section) != std::string_view::npos);
    const size_t start = page.find(kStart);
    const size_t end = page.find(kEnd);
    if (end == std::string_view::npos)
        FUZZ_CHECK(section.empty());
    if (start != std::string_view::npos && end != std::string_view::npos &&
        end >= start + kStart.size())
        FUZZ_CHECK(section == page.substr(start + kStart.size(), end - start - kStart.size()));

    for (const CategoryRow& row : TvStation::categories()) {
        checkLines(row, section);
        // The loop on the raw bytes too, so the fuzzer need not find both markers to reach it.
        checkLines(row, page);
    }
    return 0;
}
