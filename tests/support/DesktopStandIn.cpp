#include "DesktopStandIn.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMutexLocker>
#include <chrono>

namespace {
const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
} // namespace

DesktopStandIn::DesktopStandIn(QDBusConnection bus, Service service)
    : bus_(std::move(bus)), service_(service) {
    const bool screenSaver = service == Service::ScreenSaver;
    registered_ = bus_.registerVirtualObject(screenSaver ? kScreenSaverPath : kPortalPath, this,
                                             screenSaver ? QDBusConnection::SingleNode
                                                         : QDBusConnection::SubPath) &&
                  bus_.registerService(screenSaver ? kScreenSaver : kPortal);
}

DesktopStandIn::~DesktopStandIn() {
    const bool screenSaver = service_ == Service::ScreenSaver;
    bus_.unregisterService(screenSaver ? kScreenSaver : kPortal);
    bus_.unregisterObject(screenSaver ? kScreenSaverPath : kPortalPath,
                          screenSaver ? QDBusConnection::UnregisterNode
                                      : QDBusConnection::UnregisterTree);
}

QStringList DesktopStandIn::calls() const {
    const QMutexLocker lock(&mutex_);
    return calls_;
}

QList<qint64> DesktopStandIn::callTimes() const {
    const QMutexLocker lock(&mutex_);
    return times_;
}

void DesktopStandIn::holdAnswers() {
    const QMutexLocker lock(&mutex_);
    holding_ = true;
}

void DesktopStandIn::answerHeld() {
    QList<QDBusMessage> answers;
    {
        const QMutexLocker lock(&mutex_);
        holding_ = false;
        answers.swap(held_);
    }
    for (const QDBusMessage& answer : answers)
        bus_.send(answer);
}

bool DesktopStandIn::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    QVariant answer;
    const QString line = record(message, answer);
    if (line.isEmpty())
        return false;
    const QDBusMessage reply =
        answer.isValid() ? message.createReply(answer) : message.createReply();
    {
        const QMutexLocker lock(&mutex_);
        calls_ << line;
        times_ << std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
        if (holding_ && answer.isValid()) {
            held_ << reply;
            return true;
        }
    }
    connection.send(reply);
    return true;
}

// The line for a call this service knows, with the answer it gets; empty for any other call.
QString DesktopStandIn::record(const QDBusMessage& message, QVariant& answer) {
    const QList<QVariant> args = message.arguments();
    const QString member = message.member();
    if (service_ == Service::ScreenSaver) {
        if (member == QLatin1String("Inhibit") && message.signature() == QLatin1String("ss")) {
            const uint cookie = [this] {
                const QMutexLocker lock(&mutex_);
                return ++issued_;
            }();
            answer = QVariant::fromValue(cookie);
            return QStringLiteral("Inhibit %1 %2 -> %3")
                .arg(args.at(0).toString(), args.at(1).toString())
                .arg(cookie);
        }
        if (member == QLatin1String("UnInhibit") && message.signature() == QLatin1String("u"))
            return QStringLiteral("UnInhibit %1").arg(args.at(0).toUInt());
        return {};
    }
    if (member == QLatin1String("Inhibit") && message.signature() == QLatin1String("sua{sv}")) {
        const QVariantMap options = qdbus_cast<QVariantMap>(args.at(2));
        const uint number = [this] {
            const QMutexLocker lock(&mutex_);
            return ++issued_;
        }();
        const QString handle = kPortalPath + QStringLiteral("/request/standin/%1").arg(number);
        answer = QVariant::fromValue(QDBusObjectPath(handle));
        return QStringLiteral("Inhibit %1 %2 -> %3")
            .arg(args.at(1).toUInt())
            .arg(options.value(QStringLiteral("reason")).toString(), handle);
    }
    if (member == QLatin1String("Close") &&
        message.interface() == QLatin1String("org.freedesktop.portal.Request"))
        return QStringLiteral("Close ") + message.path();
    return {};
}

QString DesktopStandIn::introspect(const QString&) const {
    return {};
}
