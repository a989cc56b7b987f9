#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// What the header of the ASF file a stream carries says of that file.
struct AsfFacts {
    qint64 headerLength = 0; // the header object and the data object's own 50-byte header
    qint64 packetSize = 0;   // every data packet has this size
    qint64 packetCount = 0;  // 0: not known, as for a broadcast

    // The header and every data packet: what a kept copy of the programme holds. 0 when the
    // count is not known.
    qint64 fileLength() const { return headerLength + packetCount * packetSize; }
    bool lengthKnown() const { return packetCount > 0; }
};

// Reads the header object and the data object's header that begin `bytes`. nullopt while they
// are not all there, or when they are not an ASF file's: the caller tells the two apart by
// asfHeaderLength.
std::optional<AsfFacts> readAsfHeader(QByteArrayView bytes);
// The length of the header that begins `bytes` once its first 24 bytes are there; nullopt
// before that, or when they do not begin an ASF header of a size a stream could send.
std::optional<qint64> asfHeaderLength(QByteArrayView bytes);

// The body of an MMS-over-HTTP play response, read as it arrives: header chunks that carry the
// ASF header, data chunks that carry one data packet each (a server may leave out a packet's
// padding, which is given back here), and the end chunk. What a server sends is not trusted:
// anything that is not such a stream breaks the reader, and what it keeps is bounded by one chunk
// and the header.
class MmshReader {
  public:
    // The largest header taken; a real one is a few kilobytes.
    static constexpr qint64 kMaxHeaderBytes = qint64(16) << 20;

    // Takes the next bytes. False once they cannot be such a stream; the reader stays broken.
    bool feed(QByteArrayView bytes);

    bool broken() const { return broken_; }
    // Once the whole header has come.
    const std::optional<AsfFacts>& facts() const { return facts_; }
    const QByteArray& header() const { return header_; }
    // The data packets that came since the last call, each padded to the packet size.
    QByteArray takePackets();
    // The server said the stream is over.
    bool ended() const { return ended_; }

  private:
    bool fail();
    bool takeChunk(char type, QByteArrayView payload);

    QByteArray pending_; // the start of a chunk not yet whole
    QByteArray header_;
    QByteArray packets_;
    std::optional<AsfFacts> facts_;
    bool ended_ = false;
    bool broken_ = false;
};
