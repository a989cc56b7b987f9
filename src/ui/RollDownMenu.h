#pragma once

#include "catalogue/Gbk.h"

#include <QWidget>
#include <string>
#include <vector>

class QScrollBar;

// The programme catalogue: a column of group headers of which one at a time is folded open to
// show its items. Headers above the open group stay at the top and those below it at the bottom,
// so every header is reachable whatever the length of the open group; its items scroll between
// them.
//
// Item indexes count across the whole menu in the order of the AddItem calls. Items are only ever
// appended, so an index stays valid and names the same item for the life of the control.
// The first group added is opened at once, so the catalogue shows open as it comes in.
class RollDownMenu : public QWidget {
    Q_OBJECT
  public:
    explicit RollDownMenu(QWidget* parent = nullptr);
    ~RollDownMenu() override;

    // Titles are GBK bytes; they are shown decoded. The two integers are kept but mean nothing to
    // the control.
    void AddGroup(const std::string& title, int first, int second);
    // `cut` tells which end of a cut title sits on a character boundary. A bad group index is
    // ignored.
    void AddItem(const std::string& title, int groupIndex, GbkCut cut = GbkCut::CleanStart);
    // The item chosen last, -1 before the first choice.
    int SelectedItem() const;
    // Empty for a bad index.
    std::string ItemTitle(int index) const;
    // The item's title as shown, decoded the way its cut was declared; empty for a bad index.
    QString itemText(int index) const;

    int groupCount() const;
    std::string groupTitle(int group) const;
    int itemCount(int group) const;
    int openGroup() const { return openGroup_; }
    // -1 folds every group; any other index outside the menu is ignored.
    void setOpenGroup(int group);

    // Where a row shows, in widget coordinates; empty when it does not show.
    QRect headerRect(int group) const;
    QRect itemRect(int group, int position) const;

    QSize sizeHint() const override;

  Q_SIGNALS:
    // Once per choice, with the group and the item's position within it (both 0-based).
    void itemChosen(int first, int second);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    friend class RollDownMenuAccessible;
    friend class RollDownMenuRowAccessible;

    // A visible line of the menu: a group's header (position -1) or one of its items.
    struct Row {
        int group = -1;
        int position = -1;
        bool isHeader() const { return position < 0; }
        bool isValid() const { return group >= 0; }
        bool operator==(const Row&) const = default;
    };
    struct Item {
        std::string title;
        QString text;
        int group = 0;
        int position = 0;
    };
    struct Group {
        std::string title;
        QString text;
        int first = 0;
        int second = 0;
        std::vector<int> items; // indexes into items_
    };

    bool hasRow(Row row) const;
    std::vector<Row> visibleRows() const;
    QRect rowRect(Row row) const;
    Row rowAt(QPoint pos) const;
    QRect itemArea() const;
    int itemOffset() const;

    void relayout();
    void activate(Row row);
    void choose(int group, int position);
    void setCurrent(Row row);
    void ensureVisible(Row row);
    void moveCurrent(int steps);
    void updateHover();

    void paintHeader(QPainter& painter, int group, const QRect& rect) const;
    void paintItem(QPainter& painter, int group, int position, const QRect& rect) const;

    void notifyAccessible(Row row, int event) const;
    void notifyExpansion(int group) const;

    std::vector<Group> groups_;
    std::vector<Item> items_;
    int openGroup_ = -1;
    int selected_ = -1;
    Row current_;
    Row hover_;
    Row pressed_;
    int headerHeight_ = 24;
    int itemHeight_ = 20;
    QScrollBar* scrollBar_ = nullptr;
};
