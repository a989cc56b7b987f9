#include "ui/TitleSearch.h"

namespace {

constexpr char16_t kFullWidthFirst = u'\uFF01'; // ！, the full-width form of "!"
constexpr char16_t kFullWidthLast = u'\uFF5E';  // ～
constexpr char16_t kFullWidthOffset = kFullWidthFirst - u'!';
constexpr char16_t kIdeographicSpace = u'\u3000';

} // namespace

QString foldForSearch(const QString& text) {
    QString folded(text.size(), Qt::Uninitialized);
    QChar* out = folded.data();
    for (const QChar c : text) {
        char16_t u = c.unicode();
        if (u >= kFullWidthFirst && u <= kFullWidthLast)
            u = char16_t(u - kFullWidthOffset);
        else if (u == kIdeographicSpace)
            u = u' ';
        if (u >= u'A' && u <= u'Z')
            u = char16_t(u + (u'a' - u'A'));
        *out++ = QChar(u);
    }
    return folded;
}

void TitleSearch::setTitles(const std::vector<QString>& titles) {
    folded_.clear();
    folded_.reserve(titles.size());
    for (const QString& title : titles)
        folded_.push_back(foldForSearch(title));
}

std::vector<int> TitleSearch::matches(const QString& typed) const {
    const QString needle = foldForSearch(typed);
    std::vector<int> found;
    for (int i = 0; i < int(folded_.size()); ++i) {
        if (folded_[size_t(i)].contains(needle))
            found.push_back(i);
    }
    return found;
}
