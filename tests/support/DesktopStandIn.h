#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QMutex>
#include <QStringList>

// The desktop's side of keeping the screen on, on a test's own bus: the screen saver
// (org.freedesktop.ScreenSaver) or the desktop portal (org.freedesktop.portal.Desktop). It grants
// every inhibition and records each call as a line, in the order they came:
//   screen saver: "Inhibit <application> <reason> -> <cookie>", "UnInhibit <cookie>"
//   portal:       "Inhibit <flags> <reason> -> <handle>", "Close <handle>"
// Cookies and handles count from 1. Safe to read from another thread than the one it answers on.
class DesktopStandIn : public QDBusVirtualObject {
  public:
    enum class Service { ScreenSaver, Portal };

    DesktopStandIn(QDBusConnection bus, Service service);
    ~DesktopStandIn() override;
    // Whether it holds its name on the bus.
    bool registered() const { return registered_; }
    QStringList calls() const;
    // When each call came, on the monotonic clock in ms (the clock of the viewer's trace).
    QList<qint64> callTimes() const;
    // From now on Inhibit is answered only by answerHeld(): the answer comes late.
    void holdAnswers();
    void answerHeld();

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

  private:
    QString record(const QDBusMessage& message, QVariant& answer);

    QDBusConnection bus_;
    const Service service_;
    bool registered_ = false;
    mutable QMutex mutex_;
    QStringList calls_;
    QList<qint64> times_;
    uint issued_ = 0;
    bool holding_ = false;
    QList<QDBusMessage> held_;
};
