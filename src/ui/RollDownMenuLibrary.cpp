// The roll-down menu's parts for the user's own groups and for finding: groups that are replaced
// as a whole, items whose detail changes, the context menu's request, the key that starts a
// search, the room for the field.
#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuAccessible.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QKeyEvent>

void RollDownMenu::onLibraryChanged() {
    // Rows of the replaced groups may be gone; what pointed at them falls back to what is left.
    if (openGroup_ >= model_.groupCount())
        openGroup_ = -1;
    const auto keep = [this](MenuRow row) {
        if (!row.isValid() || layout().hasRow(row))
            return row;
        return row.group < model_.groupCount() ? MenuRow{row.group, -1} : MenuRow{};
    };
    current_ = keep(current_);
    if (!current_.isValid() && hasFocus() && model_.groupCount() > 0)
        current_ = {model_.groupCount() - 1, -1};
    hover_ = keep(hover_);
    pressed_ = {};
    relayout();
    updateHover();
    QAccessibleEvent reordered(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reordered);
}

// A download's progress: only what one row shows changes, the rows stay as they are.
void RollDownMenu::onItemDetailChanged(int index) {
    const RollDownMenuModel::Item* changed = model_.item(index);
    if (!changed)
        return;
    if (changed->group == openGroup_)
        update(layout().rowRect({changed->group, changed->position}));
    notifyMenuRow(this, {changed->group, changed->position}, QAccessible::DescriptionChanged);
}

bool RollDownMenu::requestFind(const QKeyEvent* event) {
    const QString text = event->text();
    const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (text.isEmpty() || (event->modifiers() & commands) || !text.at(0).isPrint())
        return false;
    Q_EMIT findRequested(text);
    return true;
}

void RollDownMenu::setBottomReserve(int pixels) {
    if (pixels == bottomReserve_)
        return;
    bottomReserve_ = pixels;
    relayout();
}

void RollDownMenu::contextMenuEvent(QContextMenuEvent* event) {
    MenuRow row = current_;
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        row = layout().rowAt(event->pos());
        if (row.isValid())
            setCurrent(row);
    } else {
        at = mapToGlobal(layout().rowRect(row).center());
    }
    if (row.isValid())
        Q_EMIT contextMenuRequested(row, at);
    event->accept();
}
