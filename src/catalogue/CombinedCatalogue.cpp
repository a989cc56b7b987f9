#include "catalogue/CombinedCatalogue.h"

#include "catalogue/ByteText.h"

std::string combineCatalogue(const CategoryTexts& categoryLines) {
    std::string all;
    for (const std::string& lines : categoryLines)
        all += lines;
    return all;
}

std::optional<std::string_view> itemTitleOf(std::string_view line) {
    const size_t first = line.find('|');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = line.substr(first + 1);
    return rest.substr(0, rest.find('|'));
}

std::vector<MenuGroupPlan> planMenu(std::string_view finishedCategories,
                                    const CategoryTexts& categoryLines) {
    std::vector<MenuGroupPlan> groups;
    const std::vector<std::string_view> titles = SplitText(finishedCategories, "|");
    for (size_t i = 0; i < titles.size(); ++i) {
        MenuGroupPlan group{std::string(titles[i]), int(i + 1), {}};
        if (const CategoryRow* row = TvStation::categoryByLabel(titles[i])) {
            for (std::string_view line :
                 SplitText(categoryLines[size_t(row->number - 1)], "\r\n")) {
                if (const auto title = itemTitleOf(line))
                    group.items.push_back({std::string(*title), row->number - 1, row->titleCut});
            }
        }
        groups.push_back(std::move(group));
    }
    return groups;
}
