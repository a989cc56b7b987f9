#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// A window's client area as assistive technology walks it: its child widgets, less those whose
// text another one already says. The advertisement countdown is two labels that read as one
// sentence only by where they lie ("广告还有  秒" and the digit in its gap); the sentence's label
// is named with the whole ("广告还有 3 秒") and the digit's is left out, so that a screen reader
// finds one text rather than two fragments. What shows on screen does not change.
class ClientArea : public QWidget {
    Q_OBJECT
  public:
    explicit ClientArea(QWidget* parent = nullptr);

    // Leaves `child` out of the area's accessible children from now on; meant for before the
    // window first shows, as nobody is told.
    void leaveOutOfAccessibility(QWidget* child);
    bool isLeftOut(const QObject* child) const;

  private:
    QList<QPointer<QWidget>> leftOut_;
};
