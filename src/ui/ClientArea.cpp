#include "ui/ClientArea.h"

#include <QAccessibleWidget>
#include <algorithm>
#include <vector>

namespace {

class ClientAreaAccessible : public QAccessibleWidget {
  public:
    explicit ClientAreaAccessible(ClientArea* area) : QAccessibleWidget(area) {}

    int childCount() const override { return int(children().size()); }
    QAccessibleInterface* child(int index) const override {
        const std::vector<QAccessibleInterface*> all = children();
        return index >= 0 && index < int(all.size()) ? all[size_t(index)] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<QAccessibleInterface*> all = children();
        const auto found = std::find(all.begin(), all.end(), child);
        return found == all.end() ? -1 : int(found - all.begin());
    }

  private:
    // The children a plain widget lists, in its order, less those left out.
    std::vector<QAccessibleInterface*> children() const {
        std::vector<QAccessibleInterface*> kept;
        const auto* area = static_cast<const ClientArea*>(widget());
        for (int i = 0, n = QAccessibleWidget::childCount(); i < n; ++i) {
            QAccessibleInterface* child = QAccessibleWidget::child(i);
            if (child && !area->isLeftOut(child->object()))
                kept.push_back(child);
        }
        return kept;
    }
};

QAccessibleInterface* createAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("ClientArea") && object && object->isWidgetType())
        return new ClientAreaAccessible(static_cast<ClientArea*>(object));
    return nullptr;
}

} // namespace

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void ClientArea::leaveOutOfAccessibility(QWidget* child) {
    if (!child || isLeftOut(child))
        return;
    leftOut_ << child;
}

bool ClientArea::isLeftOut(const QObject* child) const {
    return child && std::any_of(leftOut_.begin(), leftOut_.end(),
                                [child](const QPointer<QWidget>& w) { return w == child; });
}
