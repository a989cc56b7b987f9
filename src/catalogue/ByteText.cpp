#include "catalogue/ByteText.h"

#include <algorithm>

std::int32_t FindText(std::string_view text, std::string_view needle, std::int32_t start) {
    if (needle.empty())
        return -1;
    const std::int64_t from = std::max<std::int64_t>(start, 1) - 1;
    if (from >= std::int64_t(text.size()))
        return -1;
    const size_t hit = text.find(needle, size_t(from));
    return hit == std::string_view::npos ? -1 : std::int32_t(hit + 1);
}

std::string MidText(std::string_view text, std::int64_t start, std::int64_t count) {
    if (count < 1)
        return {};
    const std::int64_t first = std::max<std::int64_t>(start, 1);
    const std::int64_t last = std::min<std::int64_t>(start + count - 1, std::int64_t(text.size()));
    if (first > last)
        return {};
    return std::string(text.substr(size_t(first - 1), size_t(last - first + 1)));
}

std::vector<std::string_view> SplitText(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    if (separator.empty()) {
        if (!text.empty())
            pieces.push_back(text);
        return pieces;
    }
    size_t from = 0;
    while (from < text.size()) {
        const size_t hit = text.find(separator, from);
        if (hit == std::string_view::npos) {
            pieces.push_back(text.substr(from));
            break;
        }
        pieces.push_back(text.substr(from, hit - from));
        from = hit + separator.size();
    }
    return pieces;
}
