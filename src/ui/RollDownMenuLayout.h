#pragma once

#include <QRect>
#include <vector>

class RollDownMenuModel;

// A line of the roll-down menu: a group's header (position -1) or one of its items.
struct MenuRow {
    int group = -1;
    int position = -1;
    bool isHeader() const { return position < 0; }
    bool isValid() const { return group >= 0; }
    bool operator==(const MenuRow&) const = default;
};

// Where the rows of the menu lie. Headers up to the open one stack at the top and those below it
// at the bottom, so every header is reachable whatever the length of the open group; the open
// group's items scroll in the band between them. Pure geometry: no widget.
class RollDownMenuLayout {
  public:
    explicit RollDownMenuLayout(const RollDownMenuModel& model) : model_(model) {}

    // The menu's own rectangle (its 1 px frame included), its row heights, the open group (-1:
    // all folded), how far the items are scrolled and how wide a scroll bar is, should one show.
    void update(const QRect& bounds, int headerHeight, int itemHeight, int openGroup,
                int scrollOffset, int scrollBarExtent);

    bool hasRow(MenuRow row) const;
    // Headers and the open group's items, top to bottom.
    std::vector<MenuRow> visibleRows() const;
    // Where a row shows, clipped to where it can show; empty when it does not show.
    QRect rowRect(MenuRow row) const;
    MenuRow rowAt(QPoint pos) const;

    QRect inner() const { return bounds_.adjusted(1, 1, -1, -1); }
    // The band the open group's items scroll in; empty when no group is open or there is no room.
    QRect itemArea() const;
    // The scroll bar beside the item band, when the open group does not fit in it.
    bool needsScrollBar() const;
    QRect scrollBarRect() const;
    // How far the items can scroll.
    int scrollRange() const;
    int itemHeight() const { return itemHeight_; }
    // Items that fit in the band at once (at least one).
    int pageRows() const;
    // The scroll offset that shows the item at `position` whole, starting from `offset`.
    int offsetShowing(int position, int offset) const;

  private:
    int bandTop() const;
    int bandHeight() const;

    const RollDownMenuModel& model_;
    QRect bounds_;
    int headerHeight_ = 24;
    int itemHeight_ = 20;
    int openGroup_ = -1;
    int scrollOffset_ = 0;
    int scrollBarExtent_ = 0;
};
