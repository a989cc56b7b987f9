#include "ui/RollDownMenuAccessible.h"

#include "playback/NotificationAccessible.h"
#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuChildren.h"
#include "ui/RollDownMenuFind.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QListWidget>
#include <QMap>
#include <algorithm>
#include <utility>
#include <vector>

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

// What the search found, announced as a notification: assistive technology speaks one when it
// comes to show. Listed after the menu's widgets while the matches show.
class ResultAccessible : public NotificationAccessible {
  public:
    explicit ResultAccessible(MenuAccessible* owner) : owner_(owner) {}

    bool isValid() const override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QString text(QAccessible::Text t) const override;
    QRect rect() const override;
    QAccessible::State state() const override;

  private:
    MenuAccessible* owner_;
};

class MenuAccessible : public QAccessibleWidget {
  public:
    explicit MenuAccessible(RollDownMenu* menu);

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

    QAccessibleInterface* result() const {
        if (QAccessibleInterface* iface = QAccessible::accessibleInterface(result_))
            return iface;
        auto* iface = new ResultAccessible(const_cast<MenuAccessible*>(this));
        result_ = QAccessible::registerAccessibleInterface(iface);
        return iface;
    }
    QString resultText() const {
        const auto* find =
            menu()->findChild<RollDownMenuFind*>(QString(), Qt::FindDirectChildrenOnly);
        return find ? find->resultText() : QString();
    }
    // Whether the notification was last announced as showing.
    bool announced = false;

    std::vector<QWidget*> shownWidgets() const { return shownChildWidgets(*menu()); }
    // Whether a widget of the menu's lies over this part of it.
    bool covered(const QRect& local) const {
        const std::vector<QWidget*> widgets = shownWidgets();
        return std::any_of(widgets.begin(), widgets.end(), [&](const QWidget* widget) {
            return widget->geometry().intersects(local);
        });
    }

    int childCount() const override {
        return menu()->model().groupCount() + int(shownWidgets().size()) +
               (resultText().isEmpty() ? 0 : 1);
    }
    QAccessibleInterface* child(int index) const override {
        const int groups = menu()->model().groupCount();
        if (index < groups)
            return row({index, -1});
        const std::vector<QWidget*> widgets = shownWidgets();
        if (index < groups + int(widgets.size()))
            return QAccessible::queryAccessibleInterface(widgets[size_t(index - groups)]);
        return index == groups + int(widgets.size()) && !resultText().isEmpty() ? result()
                                                                                : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (const auto* other = dynamic_cast<const RowAccessible*>(child))
            return other->owner() == this && other->row().isHeader() ? other->row().group : -1;
        const int groups = menu()->model().groupCount();
        const std::vector<QWidget*> widgets = shownWidgets();
        if (child && child == QAccessible::accessibleInterface(result_))
            return resultText().isEmpty() ? -1 : groups + int(widgets.size());
        const auto found =
            std::find(widgets.begin(), widgets.end(), child ? child->object() : nullptr);
        return found == widgets.end() ? -1 : groups + int(found - widgets.begin());
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = menu()->mapFromGlobal(QPoint(x, y));
        if (!menu()->rect().contains(local))
            return nullptr;
        const std::vector<QWidget*> widgets = shownWidgets();
        for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) {
            if ((*it)->geometry().contains(local))
                return QAccessible::queryAccessibleInterface(*it);
        }
        const MenuRow hit = menu()->layout().rowAt(local);
        return hit.isValid() ? row({hit.group, -1}) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        if (menu()->hasFocus())
            return menu()->currentRow().isValid() ? row(menu()->currentRow()) : nullptr;
        for (QWidget* widget : shownWidgets()) {
            if (widget->hasFocus() || widget->isAncestorOf(QApplication::focusWidget()))
                return QAccessible::queryAccessibleInterface(widget);
        }
        return nullptr;
    }

  protected:
    ~MenuAccessible() override {
        for (const QAccessible::Id id : std::as_const(rows_))
            QAccessible::deleteAccessibleInterface(id);
        if (result_)
            QAccessible::deleteAccessibleInterface(result_);
    }

  private:
    mutable QMap<std::pair<int, int>, QAccessible::Id> rows_;
    mutable QAccessible::Id result_ = 0;
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
    if (!isValid())
        return {};
    const RollDownMenuModel& model = menu().model();
    // The detail painted after an item's title (a download's progress or why it failed) is what
    // a sighted user reads there, so it is spoken after the name.
    if (t == QAccessible::Description && !row_.isHeader())
        return model.itemDetail(model.itemIndex(row_.group, row_.position));
    if (t != QAccessible::Name)
        return {};
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
    }
    // Scrolled out of the band, or under the list of matches, a row does not show.
    const QRect local = m.layout().rowRect(row_);
    s.offscreen = local.isEmpty() || owner_->covered(local);
    return s;
}

void RowAccessible::doAction(const QString& name) {
    if (name == pressAction() && isValid())
        owner_->menu()->activate(row_);
}

bool ResultAccessible::isValid() const {
    return owner_->isValid();
}

QWindow* ResultAccessible::window() const {
    return owner_->window();
}

QAccessibleInterface* ResultAccessible::parent() const {
    return owner_;
}

QString ResultAccessible::text(QAccessible::Text t) const {
    return t == QAccessible::Name && isValid() ? owner_->resultText() : QString();
}

// Where the matches show.
QRect ResultAccessible::rect() const {
    const auto* find =
        owner_->menu()->findChild<RollDownMenuFind*>(QString(), Qt::FindDirectChildrenOnly);
    if (!find || owner_->resultText().isEmpty())
        return {};
    const QWidget& list = find->matches();
    return {list.mapToGlobal(QPoint(0, 0)), list.size()};
}

QAccessible::State ResultAccessible::state() const {
    QAccessible::State s;
    s.invisible = !isValid() || owner_->resultText().isEmpty();
    s.readOnly = true;
    return s;
}

MenuAccessible::MenuAccessible(RollDownMenu* menu) : QAccessibleWidget(menu, QAccessible::Tree) {
    // One interface is made per menu, for its life.
    watchMenuChildren(menu);
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

void notifyFindResult(RollDownMenu* menu) {
    if (!QAccessible::isActive())
        return;
    auto* iface = dynamic_cast<MenuAccessible*>(QAccessible::queryAccessibleInterface(menu));
    if (!iface)
        return;
    QAccessibleInterface* result = iface->result();
    if (iface->resultText().isEmpty()) {
        if (std::exchange(iface->announced, false)) {
            QAccessibleEvent hidden(result, QAccessible::ObjectHide);
            QAccessible::updateAccessibility(&hidden);
        }
        return;
    }
    // Shown anew for every search, so that each result is announced, the same count included.
    if (!std::exchange(iface->announced, true)) {
        QAccessibleEvent added(result, QAccessible::ObjectCreated);
        QAccessible::updateAccessibility(&added);
    }
    QAccessibleEvent renamed(result, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    QAccessibleEvent shown(result, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
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
