#pragma once

#include "playback/ScreenPresenter.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

// Where a widget lies on the native window that holds it, and which of its parts no other widget
// covers: what may be drawn there from outside the toolkit. It watches the widget, its ancestors
// and every sibling stacked above any of them, and says so the moment any of that moves, shows,
// hides or restacks, before the toolkit paints the change.
class ScreenArea : public QObject {
    Q_OBJECT
  public:
    explicit ScreenArea(QWidget& view);

    // Nothing (an empty clip) while the widget is hidden, has no native window above it yet, or
    // the screen scales its pixels.
    ScreenPresenter::Target target() const;

  Q_SIGNALS:
    void changed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void watch();

    QWidget& view_;
    QList<QPointer<QWidget>> watched_;
};
