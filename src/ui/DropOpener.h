#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// Lets a widget take a dropped file or address (a file manager's file, a browser's link, a
// selected address) and hands the first it carries on; a drop that carries none is refused while
// it is dragged over, so the desktop shows it cannot land. Only `target` and its children that
// take no drops themselves are covered: not the windows or siblings above it.
class DropOpener : public QObject {
  public:
    DropOpener(QWidget& target, std::function<void(const QString& location)> open);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void(const QString&)> open_;
};
