#include "catalogue/PageExtraction.h"

#include "catalogue/ByteText.h"

namespace {
constexpr std::string_view kStartMarker = "<!--Content Start-->";
constexpr std::string_view kEndMarker = "<!--Content End-->";
constexpr std::string_view kLinkTag = "<a href=";
} // namespace

std::string cutContentSection(std::string_view page) {
    const std::int64_t s =
        std::int64_t(FindText(page, kStartMarker)) + std::int64_t(kStartMarker.size());
    const std::int64_t e = FindText(page, kEndMarker);
    return MidText(page, s, e - s);
}

std::vector<std::string> extractEntryLines(const CategoryRow& row, std::string_view section) {
    std::vector<std::string> lines;
    lines.reserve(size_t(row.entryCount));
    std::int32_t p = 0;
    std::int32_t q = 0;
    for (int pass = 0; pass < row.entryCount; ++pass) {
        p = FindText(section, row.titleAnchor, p + 1);
        const std::string title = MidText(section, std::int64_t(p) + row.titleOffset, kTitleLength);
        // q keeps the hit plus one, so a miss (-1) restarts the chain from the first link.
        q = FindText(section, kLinkTag, q + 1) + 1;
        const std::string link = MidText(section, std::int64_t(q) + 8, kLinkLength);
        std::string line;
        line.reserve(row.label.size() + title.size() + link.size() + 4);
        line.append(row.label).append("|").append(title).append("|").append(link).append("\r\n");
        lines.push_back(std::move(line));
    }
    return lines;
}
