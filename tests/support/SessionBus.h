#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

// A session bus of the test's own: a dbus-daemon that starts no services (the machine's, a
// player daemon or the accessibility bus say, must not answer in a test) and ends with the test.
// Nothing the test starts finds it unless told: environment() names it.
class SessionBus {
  public:
    SessionBus();
    ~SessionBus();
    bool started() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // "DBUS_SESSION_BUS_ADDRESS=…", for the programs the test starts.
    QString environment() const;
    // A connection of the test process of its own; `name` tells such connections apart.
    QDBusConnection connect(const QString& name);
    // Runs a client of the bus (playerctl, say) while the test's own objects on the bus keep
    // answering; its standard output, trimmed, or nullopt when it failed or did not end in time.
    std::optional<QString> run(const QString& program, const QStringList& arguments,
                               int timeoutMs = 15000) const;

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList connections_;
};
