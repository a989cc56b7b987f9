#pragma once

#include "playback/Location.h"
#include "playback/PlayerStatus.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <chrono>

class QTcpSocket;

// libVLC says only that an address failed, not why. The probe asks the server once more itself,
// on the UI thread without blocking it: whether anything listens, and what it answers a plain
// request for the same path. A 200 means the server had the programme and libVLC could not play
// what it sent.
class FailureProbe : public QObject {
    Q_OBJECT
  public:
    FailureProbe(const ProbeTarget& target, std::chrono::milliseconds timeout,
                 QObject* parent = nullptr);
    ~FailureProbe() override;

  Q_SIGNALS:
    // Once; httpStatus is the server's answer, 0 when there was none.
    void finished(PlayerError error, int httpStatus);

  private:
    void onConnected();
    void onReadyRead();
    void onSocketError();
    void judgeAnswer();
    void finish(PlayerError error, int httpStatus = 0);

    ProbeTarget target_;
    QTcpSocket* socket_;
    QTimer deadline_;
    QByteArray answer_;
    bool finished_ = false;
};
