#include "app/ProcessSetup.h"
#include "app/Trace.h"
#include "ui/Fonts.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QWindow>

namespace {

// Tells the end-to-end tests which native window to click, once it can take input, and again
// should it ever be made anew.
class ShownTracer : public QObject {
  public:
    explicit ShownTracer(QWidget& window) : window_(window) {
        window.winId(); // the native window, so that its first exposure is seen
        window.windowHandle()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && window_.windowHandle()->isExposed() &&
            window_.winId() != traced_) {
            traced_ = window_.winId();
            trace(QStringLiteral("shown window=%1").arg(traced_));
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QWidget& window_;
    WId traced_ = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    trace(QStringLiteral("process-started"));
    prepareProcess();
    QApplication app(argc, argv);
    // The loading window hides before the main window shows; that is no reason to quit.
    app.setQuitOnLastWindowClosed(false);
    installSongFace();

    MainWindow window;
    if (!window.OnMainWindowCreated())
        return 1;
    app.setQuitOnLastWindowClosed(true);
    const ShownTracer shown(window);
    window.show();
    const int code = app.exec();
    trace(QStringLiteral("exit %1").arg(code));
    return code;
}
