#pragma once

#include "ui/MenuColours.h"
#include "ui/RollDownMenuLayout.h"
#include "ui/RollDownMenuModel.h"

#include <QWidget>

class QScrollBar;

// The programme catalogue as a column of group headers of which one at a time is folded open to
// show its items (layout in RollDownMenuLayout, content in RollDownMenuModel). The first group
// added opens at once, so the catalogue shows open as it comes in.
class RollDownMenu : public QWidget {
    Q_OBJECT
  public:
    explicit RollDownMenu(QWidget* parent = nullptr);
    ~RollDownMenu() override;

    RollDownMenuModel& model() { return model_; }
    const RollDownMenuModel& model() const { return model_; }

    // The control's operations, on its model.
    void AddGroup(const GbkBytes& title, int first, int second) {
        model_.AddGroup(title, first, second);
    }
    void AddItem(const GbkBytes& title, int groupIndex, GbkCut cut = GbkCut::CleanStart) {
        model_.AddItem(title, groupIndex, cut);
    }
    int SelectedItem() const { return model_.SelectedItem(); }
    GbkBytes ItemTitle(int index) const { return model_.ItemTitle(index); }

    int openGroup() const { return openGroup_; }
    // -1 folds every group; any other index outside the menu is ignored.
    void setOpenGroup(int group);

    // Where a row shows, in widget coordinates; empty when it does not show.
    QRect headerRect(int group) const;
    QRect itemRect(int group, int position) const;

    // For assistive technology: the rows, the keyboard's row, and pressing a row as a click does.
    const RollDownMenuLayout& layout() const;
    MenuRow currentRow() const { return current_; }
    void activate(MenuRow row);

    QSize sizeHint() const override;

    // Leaves this many pixels at the bottom to a widget placed there (the find field).
    void setBottomReserve(int pixels);
    int bottomReserve() const { return bottomReserve_; }

  Q_SIGNALS:
    // Once per choice, with the group and the item's position within it (both 0-based); the
    // choice itself is SelectedItem().
    void itemChosen(int first, int second);
    // A printable key that the menu has no use for: the start of a title to look for.
    void findRequested(const QString& text);
    // Right click or the Menu key on a row (for the key: the keyboard's row); `globalPos` is
    // where a context menu goes.
    void contextMenuRequested(MenuRow row, const QPoint& globalPos);

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
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void onGroupAdded(int group);
    void onItemAdded(int group, int position);
    // RollDownMenuLibrary.cpp: the library's groups were replaced.
    void onLibraryChanged();
    void onItemDetailChanged(int index);
    bool requestFind(const QKeyEvent* event);
    void relayout();
    void choose(MenuRow row);
    void setCurrent(MenuRow row);
    void ensureVisible(MenuRow row);
    void moveCurrent(int steps);
    void setHover(MenuRow row);
    void updateHover();
    bool isSelected(MenuRow row) const;

    void paintHeader(QPainter& painter, int group, const QRect& rect) const;
    void paintItem(QPainter& painter, MenuRow row, const QRect& rect) const;

    RollDownMenuModel model_;
    // Brought up to the widget's size on every use: a hidden widget gets no resize event.
    mutable RollDownMenuLayout layout_;
    int itemHeight_ = 20;
    int scrollBarExtent_ = 0;
    int openGroup_ = -1;
    int bottomReserve_ = 0;
    MenuRow current_;
    MenuRow hover_;
    MenuRow pressed_;
    QScrollBar* scrollBar_ = nullptr;
    MenuColours colours_; // from the palette
};
