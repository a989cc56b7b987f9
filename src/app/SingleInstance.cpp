#include "app/SingleInstance.h"

#include "app/HandOver.h"
#include "app/Trace.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Whoever is at the other end of a local socket runs as this user: another user's process must
// neither send this viewer files nor pose as the viewer of this user's folder.
bool peerIsThisUser(qintptr descriptor) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return descriptor >= 0 &&
           ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == ::geteuid();
}

int remainingMs(const QDeadlineTimer& deadline) {
    return int(std::clamp<qint64>(deadline.remainingTime(), 1, 1'000'000));
}

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

SingleInstance::SingleInstance(QString dataDirectory, QObject* parent)
    : QObject(parent), directory_(std::move(dataDirectory)),
      lockPath_(directory_ + QLatin1Char('/') + kLockFileName) {}

SingleInstance::~SingleInstance() {
    if (server_)
        server_->close();
    if (lockFd_ >= 0) {
        // Removed while still locked, so that no later start can lock the file as it goes; one
        // that opened it before then finds its lock on a file no longer there, and tries anew.
        ::unlink(QFile::encodeName(lockPath_).constData());
        ::close(lockFd_);
    }
}

QString SingleInstance::serverName(const QString& dataDirectory) {
    const QString canonical = QFileInfo(dataDirectory).canonicalFilePath();
    const QString path =
        canonical.isEmpty() ? QDir::cleanPath(QDir(dataDirectory).absolutePath()) : canonical;
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(path), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("velmora-tv-%1-%2")
        .arg(::geteuid())
        .arg(QString::fromLatin1(digest.left(32)));
}

SingleInstance::Lock SingleInstance::takeLock(QString& error) {
    const QByteArray path = QFile::encodeName(lockPath_);
    // A few rounds at most: each is lost only to a viewer that ended in the meantime.
    for (int round = 0; round < 10; ++round) {
        // Close-on-exec: a program the viewer starts (a browser for the help page) must not
        // inherit the lock and keep it after the viewer has ended.
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            error = errorText(errno);
            return Lock::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int cause = errno;
            ::close(fd);
            if (cause == EWOULDBLOCK)
                return Lock::Held;
            error = errorText(cause);
            return Lock::Failed;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            lockFd_ = fd;
            return Lock::Taken;
        }
        ::close(fd); // the file went with a viewer that ended between the open and the lock
    }
    error = QStringLiteral("the lock file keeps being replaced");
    return Lock::Failed;
}

SingleInstance::Claim SingleInstance::claim(const QStringList& locations,
                                            std::chrono::milliseconds patience) {
    const QDeadlineTimer deadline(patience);
    while (true) {
        QString error;
        switch (takeLock(error)) {
        case Lock::Taken:
            listen();
            return Claim::Keeps;
        case Lock::Failed:
            std::fprintf(stderr,
                         "velmora-tv: cannot lock %s (%s); a second viewer is not kept out of "
                         "this folder\n",
                         qPrintable(lockPath_), qPrintable(error));
            // A viewer that could lock it may still be there to take the file.
            return handOver(locations, 1000ms) ? Claim::HandedOver : Claim::Keeps;
        case Lock::Held:
            break;
        }
        if (handOver(locations, std::chrono::milliseconds(remainingMs(deadline))))
            return Claim::HandedOver;
        if (deadline.hasExpired())
            return Claim::NoAnswer;
        // The keeper is between its lock and its listener, or ending: look again shortly.
        QThread::msleep(50);
    }
}

std::optional<int> SingleInstance::claimOrHandOver(const QString& location) {
    switch (claim(location.isEmpty() ? QStringList() : QStringList{location})) {
    case Claim::Keeps:
        return std::nullopt;
    case Claim::HandedOver:
        trace(QStringLiteral("handed-over"));
        return 0;
    case Claim::NoAnswer:
        trace(QStringLiteral("no-answer"));
        std::fprintf(stderr,
                     "velmora-tv: the viewer already running on %s does not answer; end it, or "
                     "try again when it has started\n",
                     qPrintable(directory_));
        return 1;
    }
    return std::nullopt;
}

void SingleInstance::listen() {
    server_ = new QLocalServer(this);
    // Abstract: nothing on disk to be left behind by a viewer that was killed.
    server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!server_->listen(serverName(directory_))) {
        std::fprintf(stderr, "velmora-tv: later starts cannot reach this viewer: %s\n",
                     qPrintable(server_->errorString()));
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection())
            receive(socket);
    });
}

bool SingleInstance::handOver(const QStringList& locations,
                              std::chrono::milliseconds patience) const {
    const QDeadlineTimer deadline(patience);
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(serverName(directory_));
    if (!socket.waitForConnected(remainingMs(deadline)) ||
        !peerIsThisUser(socket.socketDescriptor()))
        return false;
    socket.write(hand_over::encode(locations));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remainingMs(deadline)))
            return false;
    }
    while (socket.bytesAvailable() == 0 && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(remainingMs(deadline)))
            break; // it ended, or the time is up
    }
    return socket.read(1) == QByteArray(1, hand_over::kTaken);
}

void SingleInstance::receive(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    const auto drop = [socket] {
        socket->abort();
        socket->deleteLater();
    };
    if (!peerIsThisUser(socket->socketDescriptor())) {
        drop();
        return;
    }
    socket->setReadBufferSize(hand_over::kHeaderBytes + hand_over::kMaxBodyBytes + 1);
    // A sender that never completes its message is not kept waiting for.
    QTimer::singleShot(kPatience, socket, drop);
    auto received = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, received, drop] {
        if (socket->state() != QLocalSocket::ConnectedState)
            return; // answered already
        *received += socket->readAll();
        const hand_over::Decoded message = hand_over::decode(*received);
        switch (message.state) {
        case hand_over::Decoded::State::Incomplete:
            return;
        case hand_over::Decoded::State::Invalid:
            drop();
            return;
        case hand_over::Decoded::State::Complete:
            socket->write(QByteArray(1, hand_over::kTaken));
            socket->disconnectFromServer();
            Q_EMIT handedOver(message.locations);
            return;
        }
    });
}
