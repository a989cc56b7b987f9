#include "CannedServer.h"

CannedServer::CannedServer(QByteArray reply, AfterReply after)
    : reply_(std::move(reply)), after_(after) {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            sockets_.emplace_back(socket);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                // Silence is an answer too: with no bytes the connection just stays open.
                if (reply_.isEmpty() || socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true);
                socket->write(reply_);
                if (after_ == AfterReply::Close)
                    socket->disconnectFromHost();
            });
        }
    });
}
