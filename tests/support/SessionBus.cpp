#include "SessionBus.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <csignal>
#include <sys/prctl.h>

SessionBus::SessionBus() {
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(
        QStringLiteral(
            R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
            .arg(dir_.path())
            .toUtf8());
    file.close();
    daemon_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // Run as root it complains that it may not raise its file limit, which is of no matter here.
    daemon_.setStandardErrorFile(QProcess::nullDevice());
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                   QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    QByteArray line;
    while (!line.endsWith('\n') && daemon_.waitForReadyRead(10000))
        line += daemon_.readAllStandardOutput();
    address_ = QString::fromUtf8(line.trimmed());
}

SessionBus::~SessionBus() {
    for (const QString& name : std::as_const(connections_))
        QDBusConnection::disconnectFromBus(name);
    daemon_.terminate();
    if (!daemon_.waitForFinished(3000))
        daemon_.kill();
    daemon_.waitForFinished(3000);
}

QString SessionBus::environment() const {
    return QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + address_;
}

QDBusConnection SessionBus::connect(const QString& name) {
    connections_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

std::optional<QString> SessionBus::run(const QString& program, const QStringList& arguments,
                                       int timeoutMs) const {
    QProcess client;
    QStringList env = QProcess::systemEnvironment();
    env.removeIf([](const QString& entry) {
        return entry.startsWith(QLatin1String("DBUS_SESSION_BUS_ADDRESS="));
    });
    client.setEnvironment(env << environment());
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(program, arguments);
    if (!client.waitForStarted(timeoutMs))
        return std::nullopt;
    const QDeadlineTimer deadline(timeoutMs);
    while (client.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            client.kill();
            client.waitForFinished(3000);
            return std::nullopt;
        }
        client.waitForFinished(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(client.readAllStandardOutput()).trimmed();
}
