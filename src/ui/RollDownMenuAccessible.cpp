#include "ui/RollDownMenuAccessible.h"

#include "ui/RollDownMenu.h"

#include <QAccessibleWidget>
#include <QMap>
#include <utility>

namespace {

class MenuAccessible;

// One row. Rows are not QObjects, so their interfaces are made on demand, registered with the
// accessibility cache and deleted with the menu's; rows are never removed, so an interface once
// made stays right.
class RowAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    RowAccessible(MenuAccessible* owner, MenuRow row) : owner_(owner), row_(row) {}

    MenuAccessible* owner() const { return owner_; }
    MenuRow row() const { return row_; }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    QAccessible::State state() const override;

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    const RollDownMenu& menu() const;

    MenuAccessible* owner_;
    MenuRow row_;
};

class MenuAccessible : public QAccessibleWidget {
  public:
    explicit MenuAccessible(RollDownMenu* menu) : QAccessibleWidget(menu, QAccessible::Tree) {}

    RollDownMenu* menu() const { return static_cast<RollDownMenu*>(widget()); }

    // The row's interface, made on first use; nullptr for a row the menu does not have.
    QAccessibleInterface* row(MenuRow row) const {
        if (!isValid() || !menu()->layout().hasRow(row))
            return nullptr;
        const auto key = std::make_pair(row.group, row.position);
        if (const auto found = rows_.constFind(key); found != rows_.cend()) {
            if (QAccessibleInterface* iface = QAccessible::accessibleInterface(*found))
                return iface;
        }
        auto* iface = new RowAccessible(const_cast<MenuAccessible*>(this), row);
        rows_.insert(key, QAccessible::registerAccessibleInterface(iface));
        return iface;
    }

    int childCount() const override { return menu()->model().groupCount(); }
    QAccessibleInterface* child(int index) const override { return row({index, -1}); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* other = dynamic_cast<const RowAccessible*>(child);
        if (!other || other->owner() != this || !other->row().isHeader())
            return -1;
        return other->row().group;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const MenuRow hit = menu()->layout().rowAt(menu()->mapFromGlobal(QPoint(x, y)));
        return hit.isValid() ? row({hit.group, -1}) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        if (!menu()->hasFocus() || !menu()->currentRow().isValid())
            return nullptr;
        return row(menu()->currentRow());
    }

  protected:
    ~MenuAccessible() override {
        for (const QAccessible::Id id : std::as_const(rows_))
            QAccessible::deleteAccessibleInterface(id);
    }

  private:
    mutable QMap<std::pair<int, int>, QAccessible::Id> rows_;
};

const RollDownMenu& RowAccessible::menu() const {
    return *owner_->menu();
}

bool RowAccessible::isValid() const {
    return owner_->isValid() && menu().layout().hasRow(row_);
}

QWindow* RowAccessible::window() const {
    return owner_->window();
}

QAccessibleInterface* RowAccessible::childAt(int x, int y) const {
    if (!row_.isHeader() || !isValid())
        return nullptr;
    for (int i = 0; i < childCount(); ++i) {
        QAccessibleInterface* item = child(i);
        if (item && item->rect().contains(x, y))
            return item;
    }
    return nullptr;
}

QAccessibleInterface* RowAccessible::parent() const {
    return row_.isHeader() ? static_cast<QAccessibleInterface*>(owner_)
                           : owner_->row({row_.group, -1});
}

QAccessibleInterface* RowAccessible::child(int index) const {
    return row_.isHeader() ? owner_->row({row_.group, index}) : nullptr;
}

int RowAccessible::childCount() const {
    return row_.isHeader() && isValid() ? menu().model().itemCount(row_.group) : 0;
}

int RowAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* other = dynamic_cast<const RowAccessible*>(child);
    if (!row_.isHeader() || !other || other->owner_ != owner_ || other->row_.isHeader() ||
        other->row_.group != row_.group)
        return -1;
    return other->row_.position;
}

QString RowAccessible::text(QAccessible::Text t) const {
    if (t != QAccessible::Name || !isValid())
        return {};
    const RollDownMenuModel& model = menu().model();
    if (row_.isHeader())
        return model.groupDisplayTitle(row_.group);
    return model.itemDisplayTitle(model.itemIndex(row_.group, row_.position));
}

QRect RowAccessible::rect() const {
    if (!isValid())
        return {};
    const QRect local = menu().layout().rowRect(row_);
    return local.isEmpty() ? QRect() : QRect(menu().mapToGlobal(local.topLeft()), local.size());
}

QAccessible::State RowAccessible::state() const {
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    const RollDownMenu& m = menu();
    s.focusable = true;
    s.focused = m.hasFocus() && m.currentRow() == row_;
    if (row_.isHeader()) {
        s.expandable = true;
        s.expanded = m.openGroup() == row_.group;
        s.collapsed = !s.expanded;
    } else {
        s.selectable = true;
        s.selected = m.model().SelectedItem() == m.model().itemIndex(row_.group, row_.position);
        s.invisible = m.openGroup() != row_.group;
        s.offscreen = m.layout().rowRect(row_).isEmpty();
    }
    return s;
}

void RowAccessible::doAction(const QString& name) {
    if (name == pressAction() && isValid())
        owner_->menu()->activate(row_);
}

QAccessibleInterface* createAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("RollDownMenu") && object && object->isWidgetType())
        return new MenuAccessible(static_cast<RollDownMenu*>(object));
    return nullptr;
}

// The one look-up behind every notification: nullptr when nobody listens.
QAccessibleInterface* rowInterface(RollDownMenu* menu, MenuRow row) {
    if (!QAccessible::isActive() || !menu->layout().hasRow(row))
        return nullptr;
    auto* iface = dynamic_cast<MenuAccessible*>(QAccessible::queryAccessibleInterface(menu));
    return iface ? iface->row(row) : nullptr;
}

} // namespace

void installRollDownMenuAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void notifyMenuRow(RollDownMenu* menu, MenuRow row, QAccessible::Event event) {
    if (QAccessibleInterface* iface = rowInterface(menu, row)) {
        QAccessibleEvent accessibleEvent(iface, event);
        QAccessible::updateAccessibility(&accessibleEvent);
    }
}

void notifyMenuExpansion(RollDownMenu* menu, int group) {
    if (QAccessibleInterface* iface = rowInterface(menu, {group, -1})) {
        QAccessible::State changed;
        changed.expanded = true;
        changed.collapsed = true;
        QAccessibleStateChangeEvent accessibleEvent(iface, changed);
        QAccessible::updateAccessibility(&accessibleEvent);
    }
}
