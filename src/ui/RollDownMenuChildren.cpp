#include "ui/RollDownMenuChildren.h"

#include "ui/RollDownMenu.h"
#include "ui/RollDownMenuAccessible.h"

#include <QAccessible>
#include <QChildEvent>
#include <QEvent>
#include <algorithm>

std::vector<QWidget*> shownChildWidgets(const QWidget& menu) {
    std::vector<QWidget*> shown;
    for (QObject* child : menu.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && widget->isVisibleTo(&menu))
            shown.push_back(widget);
    }
    std::vector<QWidget*> uncovered;
    for (auto it = shown.begin(); it != shown.end(); ++it) {
        const bool under = std::any_of(it + 1, shown.end(), [&](const QWidget* above) {
            return above->geometry().contains((*it)->geometry());
        });
        if (!under)
            uncovered.push_back(*it);
    }
    return uncovered;
}

namespace {

class ChildWatcher : public QObject {
  public:
    explicit ChildWatcher(RollDownMenu* menu) : QObject(menu), menu_(menu) {
        menu->installEventFilter(this);
        for (QObject* child : menu->children()) {
            if (child != this)
                child->installEventFilter(this);
        }
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == menu_) {
            if (event->type() == QEvent::ChildAdded)
                static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
        } else if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
                   watched->isWidgetType() && menu_->isVisible()) {
            shownOrHidden(static_cast<QWidget*>(watched), event->type() == QEvent::Show);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    void shownOrHidden(QWidget* widget, bool shown) {
        if (!QAccessible::isActive() || widget->isWindow())
            return;
        // A widget hidden is gone from the menu's children, as one destroyed would be.
        QAccessibleEvent changed(widget,
                                 shown ? QAccessible::ObjectCreated : QAccessible::ObjectDestroyed);
        QAccessible::updateAccessibility(&changed);
        for (const MenuRow& row : menu_->layout().visibleRows()) {
            if (menu_->layout().rowRect(row).intersects(widget->geometry()))
                notifyMenuRow(menu_, row,
                              shown ? QAccessible::ObjectHide : QAccessible::ObjectShow);
        }
    }

    RollDownMenu* menu_;
};

} // namespace

void watchMenuChildren(RollDownMenu* menu) {
    new ChildWatcher(menu);
}
