// The station's listing pages and advertisement page, built as pure functions so tests can check
// the bytes the viewer will cut.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace station {

constexpr int kCategoryRows = 5;
constexpr int kTitleBytes = 14;
constexpr int kLinkBytes = 38;

inline constexpr std::string_view kContentStart = "<!--Content Start-->";
inline constexpr std::string_view kContentEnd = "<!--Content End-->";

// How the viewer locates the entries of a row; mirrored here so pages can be laid out to match.
struct CategoryLayout {
    std::string_view path;
    int entryCount;
    std::string_view anchor;
    int titleOffset; // from the anchor's first byte; negative means before it
};

// row is 1..5; anything else is a programming error.
const CategoryLayout& categoryLayout(int row);

// 1..5 for a listing page path, 0 for anything else.
int rowForPath(std::string_view path);

struct DemoEntry {
    std::string title; // GBK, exactly kTitleBytes
    std::string link;  // ASCII, exactly kLinkBytes
    std::string date;  // "2010-01-12"
};

// The demo catalogue of one row in page order, more entries than the row's entry count.
const std::vector<DemoEntry>& demoEntries(int row);

// Converts UTF-8 text to GBK. The demo data is fixed, so a lossy conversion is a bug in it: aborts.
std::string toGbk(std::string_view utf8);

// A complete listing page, GBK bytes.
std::string buildCategoryPage(int row);

// The advertisement page, UTF-8 HTML without external resources.
std::string buildAdPage();

// Small HTML body for error answers.
std::string buildErrorPage(int status, std::string_view reason);

} // namespace station
