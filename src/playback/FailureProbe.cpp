#include "playback/FailureProbe.h"

#include <QTcpSocket>
#include <algorithm>
#include <utility>

namespace {

constexpr qsizetype kStatusLineLimit = 1024;

// "HTTP/1.1 404 Not Found" -> 404; 0 when the line is no HTTP status line.
int httpStatusOf(const QByteArray& line) {
    if (!line.startsWith("HTTP/"))
        return 0;
    const QList<QByteArray> parts = line.simplified().split(' ');
    if (parts.size() < 2 || parts[1].size() != 3)
        return 0;
    bool ok = false;
    const int status = parts[1].toInt(&ok);
    return ok ? status : 0;
}

PlayerError errorForStatus(int status) {
    if (status == 404 || status == 410)
        return PlayerError::NotFound;
    if (status >= 400)
        return PlayerError::ServerError;
    // Found, or sent elsewhere: the server has something, and it did not play.
    return PlayerError::Format;
}

} // namespace

FailureProbe::FailureProbe(const ProbeTarget& target, std::chrono::milliseconds timeout,
                           QObject* parent)
    : QObject(parent), target_(target), socket_(new QTcpSocket(this)) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { finish(PlayerError::NoAnswer); });
    connect(socket_, &QTcpSocket::connected, this, &FailureProbe::onConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &FailureProbe::onReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &FailureProbe::onSocketError);
    deadline_.start(timeout);
    socket_->connectToHost(target_.host, target_.port);
}

FailureProbe::~FailureProbe() {
    socket_->disconnect(this);
    socket_->abort();
}

void FailureProbe::onConnected() {
    if (!target_.http) {
        // Something listens; what it sent could not be played.
        finish(PlayerError::Format);
        return;
    }
    // The same head as libVLC's MMS-over-HTTP describe request, so a Windows Media server
    // answers as it answered libVLC.
    socket_->write("GET " + target_.path + " HTTP/1.0\r\nHost: " + target_.host.toUtf8() + ':' +
                   QByteArray::number(target_.port) +
                   "\r\nAccept: */*\r\nUser-Agent: NSPlayer/4.1.0.3856\r\n"
                   "Connection: close\r\n\r\n");
}

void FailureProbe::onReadyRead() {
    answer_ += socket_->readAll();
    if (answer_.contains('\n') || answer_.size() >= kStatusLineLimit)
        judgeAnswer();
}

void FailureProbe::judgeAnswer() {
    const int status =
        httpStatusOf(answer_.left(std::min(answer_.indexOf('\n'), kStatusLineLimit)));
    // An answer that is not HTTP at all: whatever listens there does not serve media this way.
    finish(status ? errorForStatus(status) : PlayerError::Format, status);
}

void FailureProbe::onSocketError() {
    switch (socket_->error()) {
    case QAbstractSocket::RemoteHostClosedError:
        answer_ += socket_->readAll();
        // Closed without a word: a server that takes connections but answers none.
        if (answer_.isEmpty())
            finish(PlayerError::NoAnswer);
        else
            judgeAnswer();
        break;
    case QAbstractSocket::SocketTimeoutError:
        finish(PlayerError::NoAnswer);
        break;
    default:
        // Refused, no such host, unreachable network.
        finish(PlayerError::CannotConnect);
        break;
    }
}

void FailureProbe::finish(PlayerError error, int httpStatus) {
    if (std::exchange(finished_, true))
        return;
    deadline_.stop();
    socket_->abort();
    Q_EMIT finished(error, httpStatus);
}
