#pragma once

#include "catalogue/Gbk.h"
#include "catalogue/TvStation.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using CategoryTexts = std::array<std::string, TvStation::kCategoryCount>;

// The five categories' entry lines run together in category order: the content of spsj.txt.
std::string combineCatalogue(const CategoryTexts& categoryLines);

// The item title of one line: the text between the first "|" and the next "|" or the end.
// A fragment without any "|" (left by a CR LF inside a cut) has none.
std::optional<std::string_view> itemTitleOf(std::string_view line);

struct MenuItemPlan {
    std::string title;
    int group = 0; // 0-based group index: the category number minus one
    GbkCut cut = GbkCut::CleanStart;
};

struct MenuGroupPlan {
    std::string title;
    int ordinal = 0; // 1-based, passed to the menu for both of its integers
    std::vector<MenuItemPlan> items;
};

// One group per finished label, in order, each with the items of the category it names.
std::vector<MenuGroupPlan> planMenu(std::string_view finishedCategories,
                                    const CategoryTexts& categoryLines);
