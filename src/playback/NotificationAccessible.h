#pragma once

#include <QAccessibleInterface>

// A notification with no widget of its own: what a view last announced, listed among the view's
// accessible children. Assistive technology speaks one when it comes to show. Subclasses say
// whether it is still valid, where it sits, what it says and its state.
class NotificationAccessible : public QAccessibleInterface {
  public:
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::Notification; }
};
