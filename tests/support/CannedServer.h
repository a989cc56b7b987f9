// A loopback TCP server that answers every request with the same bytes (maybe none), then either
// closes the connection or keeps it open without another word: the causes the player's failure
// texts are told from.
#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <vector>

class CannedServer {
  public:
    enum class AfterReply { Close, KeepOpen };

    explicit CannedServer(QByteArray reply = {}, AfterReply after = AfterReply::KeepOpen);

    quint16 port() const { return server_.serverPort(); }
    size_t connections() const { return sockets_.size(); }

  private:
    QByteArray reply_;
    AfterReply after_;
    QTcpServer server_;
    std::vector<std::unique_ptr<QTcpSocket>> sockets_;
};
