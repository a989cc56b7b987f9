// The split rules and the filling of groups and items from the finished labels and the entry
// lines of the five categories.
#include "FuzzCheck.h"
#include "catalogue/ByteText.h"
#include "catalogue/CombinedCatalogue.h"
#include "catalogue/TvStation.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

namespace {

// Joining the pieces gives the text back, less one separator at its very end.
void checkSplit(std::string_view text, std::string_view separator) {
    const std::vector<std::string_view> pieces = SplitText(text, separator);
    if (text.empty())
        FUZZ_CHECK(pieces.empty());
    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        FUZZ_CHECK(pieces[i].find(separator) == std::string_view::npos);
        if (i > 0)
            joined.append(separator);
        joined.append(pieces[i]);
    }
    const bool trailing =
        text.size() >= separator.size() && text.substr(text.size() - separator.size()) == separator;
    if (trailing && !pieces.empty())
        joined.append(separator);
    FUZZ_CHECK(joined == text);
}

// The label of a row, or arbitrary bytes, so that the fuzzer reaches the lookup of every row.
std::string groupTitle(FuzzedDataProvider& in) {
    const int pick = in.ConsumeIntegralInRange(0, 6);
    if (pick < TvStation::kCategoryCount)
        return TvStation::categories()[size_t(pick)].label;
    return in.ConsumeRandomLengthString(24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string finished;
    const int groups = in.ConsumeIntegralInRange(0, 7);
    for (int i = 0; i < groups; ++i) {
        if (i > 0)
            finished += '|';
        finished += groupTitle(in);
    }
    CategoryTexts lines;
    for (std::string& text : lines)
        text = in.ConsumeRandomLengthString(4096);

    checkSplit(finished, "|");
    for (const std::string& text : lines) {
        checkSplit(text, "\r\n");
        checkSplit(text, "|");
    }

    const std::string all = combineCatalogue(lines);
    FUZZ_CHECK(all == lines[0] + lines[1] + lines[2] + lines[3] + lines[4]);

    const std::vector<MenuGroupPlan> plan = planMenu(finished, lines);
    const std::vector<std::string_view> titles = SplitText(finished, "|");
    FUZZ_CHECK(plan.size() == titles.size());
    for (size_t i = 0; i < plan.size(); ++i) {
        const MenuGroupPlan& group = plan[i];
        FUZZ_CHECK(group.title == titles[i]);
        FUZZ_CHECK(group.ordinal == int(i + 1));
        const CategoryRow* row = TvStation::categoryByLabel(group.title);
        if (!row) {
            FUZZ_CHECK(group.items.empty());
            continue;
        }
        // One item per line that has a "|", titled by its second piece, in line order.
        size_t next = 0;
        for (std::string_view line : SplitText(lines[size_t(row->number - 1)], "\r\n")) {
            const std::optional<std::string_view> title = itemTitleOf(line);
            FUZZ_CHECK(title.has_value() == (line.find('|') != std::string_view::npos));
            if (!title)
                continue;
            FUZZ_CHECK(title->find('|') == std::string_view::npos);
            FUZZ_CHECK(line.substr(line.find('|') + 1, title->size()) == *title);
            FUZZ_CHECK(next < group.items.size());
            const MenuItemPlan& item = group.items[next++];
            FUZZ_CHECK(item.title == *title);
            FUZZ_CHECK(item.group == row->number - 1);
            FUZZ_CHECK(item.cut == row->titleCut);
        }
        FUZZ_CHECK(next == group.items.size());
    }
    return 0;
}
