#pragma once

#include "catalogue/Gbk.h"

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// The station's five programme categories, in run order. Every difference between the
// categories is a column here; the steps themselves are all alike.
struct CategoryRow {
    int number = 0;               // 1..5
    std::string label;            // GBK
    QString stepText;             // shown on the loading window while the step runs
    QString listFile;             // relative to the program directory
    std::string pagePath;         // on the station's web server
    int entryCount = 0;           // lines extracted, always exactly this many
    std::string titleAnchor;      // tag whose occurrences mark the titles
    std::int32_t titleOffset = 0; // where the 14-byte title starts, relative to the anchor
    std::string finishedText;     // appended to the finished categories, GBK
    std::int32_t pacingThreshold = 0;
    GbkCut titleCut = GbkCut::CleanStart; // which end of a title lies on a character boundary
};

constexpr int kCategoryCount = 5;
constexpr std::int32_t kTitleLength = 14;
constexpr std::int32_t kLinkLength = 38;

const std::vector<CategoryRow>& CategoryTable();

// The row whose label is exactly `label` (GBK bytes), or nullptr.
const CategoryRow* categoryByLabel(std::string_view label);
