#pragma once

#include "playback/AppendFile.h"
#include "playback/MmshReader.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>

class QNetworkAccessManager;

// Keeps one programme: its stream, read as MMS over HTTP, is written to a file as the ASF file
// it carries, byte for byte: the header, then every data packet. A stream that ends early is
// taken up again where the file ends, at its last whole packet (the server starts a stream at a
// byte offset into the packets), once the header the server sends is the one the file begins
// with. Works on the UI thread without blocking it. The file keeps its name: what it is called
// once whole is the caller's.
class ProgrammeDownload : public QObject {
    Q_OBJECT
  public:
    enum class Failure {
        None,
        CannotConnect, // nothing answers at the address
        NotFound,      // the server has no such programme (404, 410)
        ServerError,   // the server refused otherwise
        NoAnswer,      // connected, but nothing came in time
        BrokeOff,      // the stream ended, or stopped coming, before the programme did
        NotAStream,    // what came is not an ASF file in MMS-over-HTTP chunks
        NoSpace,       // the disk has not the room the rest of the programme needs
        DiskFull,      // the disk filled while writing
        CannotWrite,   // the file or its folder cannot be written
    };
    static constexpr std::chrono::milliseconds kDefaultStallTimeout{10000};

    // `address`: the programme's stream (mms://, mmsh:// or http://).
    ProgrammeDownload(QNetworkAccessManager& network, const QString& address, QString filePath,
                      QObject* parent = nullptr);
    ~ProgrammeDownload() override;

    // The http:// address an mms:// or mmsh:// stream is read from.
    static QUrl httpAddressOf(const QString& address);

    // Space on the file's disk that other work still needs, asked when this one's length is
    // known; the check before writing leaves it free.
    void setSpaceElsewhere(std::function<qint64()> owed) { spaceElsewhere_ = std::move(owed); }
    void setStallTimeout(std::chrono::milliseconds timeout) { stallTimeout_ = timeout; }

    // Starts, or starts again after an end, from the whole packets the file already holds.
    void start();
    // Stops without a word; the file stays as it is.
    void abort();

    bool running() const { return reply_ != nullptr; }
    const QString& filePath() const { return path_; }
    // What the file holds, and the length of the whole programme (0 while not known).
    qint64 bytes() const { return bytes_; }
    qint64 length() const { return length_; }
    // Whether the attempt under way, or the last, wrote any packet.
    bool madeProgress() const { return madeProgress_; }
    Failure failure() const { return failure_; }
    int httpStatus() const { return httpStatus_; }
    // For NoSpace: what was needed and what was free, in bytes.
    qint64 spaceNeeded() const { return spaceNeeded_; }
    qint64 spaceFree() const { return spaceFree_; }

  Q_SIGNALS:
    // The file grew.
    void progressed();
    // The file holds the whole programme and is on the disk.
    void finished();
    void failed(Failure failure);

  private:
    void onReadyRead();
    void onReplyFinished();
    void onStalled();
    bool takeHeader();
    void writePackets();
    void complete();
    void fail(Failure failure);
    void dropReply();
    bool isWhole() const;

    QNetworkAccessManager& network_;
    const QUrl address_;
    const QString path_;
    std::function<qint64()> spaceElsewhere_;
    std::chrono::milliseconds stallTimeout_ = kDefaultStallTimeout;
    QPointer<QNetworkReply> reply_;
    QTimer stall_;
    MmshReader reader_;
    AppendFile file_;
    QByteArray kept_; // the header the file begins with when this attempt started from it
    qint64 bytes_ = 0;
    qint64 length_ = 0;
    qint64 packetSize_ = 0;
    bool restartedWhole_ = false; // the next start gives up what the file holds
    bool madeProgress_ = false;
    bool anythingCame_ = false;
    Failure failure_ = Failure::None;
    int httpStatus_ = 0;
    qint64 spaceNeeded_ = 0;
    qint64 spaceFree_ = 0;
};
