#include "playback/TransportAccessible.h"

#include "playback/NotificationAccessible.h"
#include "playback/TransportControls.h"

#include <QAccessibleWidget>
#include <utility>

namespace {

// A slider whose value is said in words. It offers no numeric value: a screen reader would read
// that out before the words, and again at each step of the position while a programme plays.
class SliderAccessible : public QAccessibleWidget {
  public:
    explicit SliderAccessible(TransportSlider* slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Description || t == QAccessible::Value)
            return static_cast<const TransportSlider*>(widget())->valueText();
        return QAccessibleWidget::text(t);
    }
};

class StatusAccessible;

// What the status text last announced. Not a QObject: made on first use, registered with the
// accessibility cache and deleted with the status bar's interface.
class AnnouncementAccessible : public NotificationAccessible {
  public:
    explicit AnnouncementAccessible(StatusAccessible* owner) : owner_(owner) {}

    bool isValid() const override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QString text(QAccessible::Text t) const override;
    QRect rect() const override;
    QAccessible::State state() const override;

  private:
    const StatusLabel& label() const;

    StatusAccessible* owner_;
};

// The status text as a status bar, named by what it shows now, holding the last announcement.
class StatusAccessible : public QAccessibleWidget {
  public:
    explicit StatusAccessible(StatusLabel* label)
        : QAccessibleWidget(label, QAccessible::StatusBar) {}

    const StatusLabel& label() const { return *static_cast<const StatusLabel*>(widget()); }

    QAccessibleInterface* announcement() const {
        if (QAccessibleInterface* iface = QAccessible::accessibleInterface(announcement_))
            return iface;
        auto* iface = new AnnouncementAccessible(const_cast<StatusAccessible*>(this));
        announcement_ = QAccessible::registerAccessibleInterface(iface);
        return iface;
    }
    // Whether the announcement was made known to assistive technology as created.
    bool created = false;

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return isValid() ? label().text() : QString();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return label().announced().isEmpty() ? 0 : 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && childCount() == 1 ? announcement() : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && childCount() == 1 &&
                       child == QAccessible::accessibleInterface(announcement_)
                   ? 0
                   : -1;
    }
    // The status text itself is what lies there, not an announcement that may be older.
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  protected:
    ~StatusAccessible() override {
        if (announcement_)
            QAccessible::deleteAccessibleInterface(announcement_);
    }

  private:
    mutable QAccessible::Id announcement_ = 0;
};

bool AnnouncementAccessible::isValid() const {
    return owner_->isValid();
}

QWindow* AnnouncementAccessible::window() const {
    return owner_->window();
}

QAccessibleInterface* AnnouncementAccessible::parent() const {
    return owner_;
}

const StatusLabel& AnnouncementAccessible::label() const {
    return owner_->label();
}

QString AnnouncementAccessible::text(QAccessible::Text t) const {
    return t == QAccessible::Name && isValid() ? label().announced() : QString();
}

QRect AnnouncementAccessible::rect() const {
    return isValid() ? owner_->rect() : QRect();
}

QAccessible::State AnnouncementAccessible::state() const {
    QAccessible::State s;
    s.invisible = !isValid() || label().announced().isEmpty();
    // In full screen the bar goes while nobody uses it; what it announced is told all the same.
    s.offscreen = !s.invisible && !label().isVisible();
    s.readOnly = true;
    return s;
}

// Asked for every object that gains focus, the web engine's among them, some still being made:
// only the class name is read until it is known to be one of ours.
QAccessibleInterface* createAccessible(const QString& className, QObject* object) {
    if (!object)
        return nullptr;
    if (className == QLatin1String("TransportSlider"))
        return new SliderAccessible(static_cast<TransportSlider*>(object));
    if (className == QLatin1String("StatusLabel"))
        return new StatusAccessible(static_cast<StatusLabel*>(object));
    return nullptr;
}

} // namespace

void installTransportAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void notifyStatusAnnounced(StatusLabel* label) {
    if (!QAccessible::isActive())
        return;
    auto* iface = dynamic_cast<StatusAccessible*>(QAccessible::queryAccessibleInterface(label));
    if (!iface)
        return;
    QAccessibleInterface* announcement = iface->announcement();
    if (!std::exchange(iface->created, true)) {
        QAccessibleEvent added(announcement, QAccessible::ObjectCreated);
        QAccessible::updateAccessibility(&added);
    }
    QAccessibleEvent renamed(announcement, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    // Shown anew for each announcement, so that a screen reader speaks each, the same text too.
    QAccessibleEvent shown(announcement, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
