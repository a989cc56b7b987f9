#include "Modals.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>

void closeAllModals() {
    for (int i = 0; i < 10; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        modal->close();
    }
}

void whenModalWidget(std::function<bool(QWidget*)> isIt, std::function<void(QWidget*)> action) {
    auto* timer = new QTimer(qApp);
    const QDeadlineTimer deadline(10000);
    QObject::connect(timer, &QTimer::timeout, qApp, [=] {
        QWidget* window = QApplication::activeModalWidget();
        if (window && isIt(window)) {
            timer->deleteLater();
            timer->stop();
            action(window);
            if (QTest::currentTestFailed())
                closeAllModals();
        } else if (deadline.hasExpired()) {
            timer->deleteLater();
            timer->stop();
            closeAllModals();
            QFAIL("no modal window came up");
        }
    });
    timer->start(10);
}
