#include "ui/RollDownMenuLayout.h"

#include "ui/RollDownMenuModel.h"

#include <algorithm>

void RollDownMenuLayout::update(const QRect& bounds, int headerHeight, int itemHeight,
                                int openGroup, int scrollOffset, int scrollBarExtent) {
    bounds_ = bounds;
    headerHeight_ = headerHeight;
    itemHeight_ = itemHeight;
    openGroup_ = openGroup;
    scrollOffset_ = scrollOffset;
    scrollBarExtent_ = scrollBarExtent;
}

bool RollDownMenuLayout::hasRow(MenuRow row) const {
    return row.group >= 0 && row.group < model_.groupCount() && row.position >= -1 &&
           row.position < model_.itemCount(row.group);
}

std::vector<MenuRow> RollDownMenuLayout::visibleRows() const {
    std::vector<MenuRow> rows;
    for (int g = 0; g < model_.groupCount(); ++g) {
        rows.push_back({g, -1});
        if (g == openGroup_) {
            for (int i = 0; i < model_.itemCount(g); ++i)
                rows.push_back({g, i});
        }
    }
    return rows;
}

int RollDownMenuLayout::bandTop() const {
    return inner().top() + (openGroup_ + 1) * headerHeight_;
}

int RollDownMenuLayout::bandHeight() const {
    return openGroup_ < 0 ? 0 : inner().height() - model_.groupCount() * headerHeight_;
}

bool RollDownMenuLayout::needsScrollBar() const {
    return bandHeight() > 0 && model_.itemCount(openGroup_) * itemHeight_ > bandHeight();
}

QRect RollDownMenuLayout::scrollBarRect() const {
    if (!needsScrollBar())
        return {};
    return QRect(inner().right() + 1 - scrollBarExtent_, bandTop(), scrollBarExtent_, bandHeight());
}

int RollDownMenuLayout::scrollRange() const {
    return needsScrollBar() ? model_.itemCount(openGroup_) * itemHeight_ - bandHeight() : 0;
}

int RollDownMenuLayout::pageRows() const {
    return std::max(1, itemArea().height() / itemHeight_);
}

QRect RollDownMenuLayout::itemArea() const {
    if (openGroup_ < 0 || bandHeight() <= 0)
        return {};
    int right = inner().right();
    if (needsScrollBar())
        right -= scrollBarExtent_;
    return QRect(QPoint(inner().left(), bandTop()), QPoint(right, bandTop() + bandHeight() - 1));
}

QRect RollDownMenuLayout::rowRect(MenuRow row) const {
    if (!hasRow(row))
        return {};
    const QRect in = inner();
    if (row.isHeader()) {
        int top = in.top() + row.group * headerHeight_;
        if (openGroup_ >= 0 && row.group > openGroup_)
            top = in.bottom() + 1 - (model_.groupCount() - row.group) * headerHeight_;
        return QRect(in.left(), top, in.width(), headerHeight_).intersected(in);
    }
    if (row.group != openGroup_)
        return {};
    const QRect area = itemArea();
    const int offset = needsScrollBar() ? scrollOffset_ : 0;
    const QRect full(area.left(), area.top() + row.position * itemHeight_ - offset, area.width(),
                     itemHeight_);
    return full.intersected(area);
}

MenuRow RollDownMenuLayout::rowAt(QPoint pos) const {
    for (const MenuRow& row : visibleRows()) {
        if (rowRect(row).contains(pos))
            return row;
    }
    return {};
}

int RollDownMenuLayout::offsetShowing(int position, int offset) const {
    const int top = position * itemHeight_;
    const int height = bandHeight();
    if (top < offset)
        return top;
    if (top + itemHeight_ > offset + height)
        return top + itemHeight_ - height;
    return offset;
}
