#pragma once

#include <QString>
#include <vector>

// How a typed text finds titles: as a substring, with Latin letters of either case and the
// full-width forms of digits, letters and signs taken as their half-width ones, since an input
// method may give either ("０１１２" finds "0112"). Other characters match only themselves.
QString foldForSearch(const QString& text);

// The titles folded once, so that each key only scans them.
class TitleSearch {
  public:
    void setTitles(const std::vector<QString>& titles);
    // Indexes into the titles, in their order; every title for an empty text.
    std::vector<int> matches(const QString& typed) const;
    int size() const { return int(folded_.size()); }

  private:
    std::vector<QString> folded_;
};
