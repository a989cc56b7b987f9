// The viewer's reader of MMS-over-HTTP streams, on the station's own framing of the real clips
// and on what no such stream is.
#include "ClipLibrary.h"
#include "Mmsh.h"
#include "playback/MmshReader.h"

#include <QTest>
#include <random>

using namespace Qt::StringLiterals;

namespace {

const std::filesystem::path kMedia = VELMORA_TEST_MEDIA_DIR;

QByteArray bytesOf(const std::string& s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

// The clip as the station sends it: its header in pieces, every packet, the end.
QByteArray streamOf(const station::Clip& clip, std::size_t headerPiece = 16 * 1024) {
    std::string out;
    std::uint32_t sequence = 0;
    const std::string_view header = clip.header();
    for (std::size_t at = 0; at < header.size(); at += headerPiece)
        out += station::frameChunk(station::ChunkType::Header, sequence++, 0,
                                   header.substr(at, headerPiece));
    for (std::uint64_t i = 0; i < clip.layout.packetCount; ++i)
        out += station::frameChunk(station::ChunkType::Data, sequence++, 0, clip.packet(i));
    out += station::frameChunk(station::ChunkType::End, 0, 0, {});
    return bytesOf(out);
}

// Feeds `stream` in pieces of random sizes; the header and the packets that came.
QByteArray readAll(MmshReader& reader, const QByteArray& stream, unsigned seed) {
    std::mt19937 random(seed);
    QByteArray packets;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype piece = std::uniform_int_distribution<qsizetype>(1, 9000)(random);
        if (!reader.feed(QByteArrayView(stream).sliced(at, std::min(piece, stream.size() - at))))
            return {};
        packets += reader.takePackets();
        at += piece;
    }
    return reader.header() + packets;
}

} // namespace

class TestMmshReader : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void aStreamGivesBackTheClipsHeaderAndDataObjects();
    void paddingAServerLeftOutIsGivenBack();
    void whatIsNoSuchStreamBreaksTheReader_data();
    void whatIsNoSuchStreamBreaksTheReader();
};

void TestMmshReader::aStreamGivesBackTheClipsHeaderAndDataObjects() {
    const auto clip = station::ClipLibrary::loadClip(kMedia / "demo-long.wmv");
    QVERIFY(clip);
    MmshReader reader;
    // A header in pieces smaller than its first object's own header, too.
    const QByteArray kept = readAll(reader, streamOf(*clip, 20), 7);
    QVERIFY(!reader.broken());
    QVERIFY(reader.ended());
    QCOMPARE(reader.facts()->headerLength, 809);
    QCOMPARE(reader.facts()->packetSize, 3200);
    QCOMPARE(reader.facts()->packetCount, 2096);
    QCOMPARE(reader.facts()->fileLength(), 6'708'009);
    // The stream carries the header and data objects; the clip's file ends with an index object
    // after them, which no stream carries.
    QCOMPARE(kept.size(), 6'708'009);
    QCOMPARE(qsizetype(clip->bytes.size()), 6'708'335);
    QVERIFY(kept == QByteArrayView(clip->bytes.data(), kept.size()));
    QCOMPARE(QByteArrayView(clip->bytes.data() + kept.size(), 16).toByteArray().toHex(),
             QByteArray("90080033b1e5cf1189f400a0c90349cb")); // the ASF simple index object

    for (const char* name : {"demo-testsrc.wmv", "demo-colours.wmv"}) {
        const auto other = station::ClipLibrary::loadClip(kMedia / name);
        MmshReader again;
        const QByteArray bytes = readAll(again, streamOf(*other), 11);
        QCOMPARE(bytes.size(), again.facts()->fileLength());
        QVERIFY(bytes == QByteArrayView(other->bytes.data(), bytes.size()));
    }
}

void TestMmshReader::paddingAServerLeftOutIsGivenBack() {
    const auto clip = station::ClipLibrary::loadClip(kMedia / "demo-colours.wmv");
    std::string stream = station::frameChunk(station::ChunkType::Header, 0, 0x0C, clip->header());
    stream += station::frameChunk(station::ChunkType::Data, 1, 0, "abc");
    MmshReader reader;
    QVERIFY(reader.feed(bytesOf(stream)));
    QByteArray expected("abc");
    expected.resize(3200, '\0');
    QCOMPARE(reader.takePackets(), expected);
    QCOMPARE(reader.takePackets(), QByteArray());
    QVERIFY(!reader.ended());
}

void TestMmshReader::whatIsNoSuchStreamBreaksTheReader_data() {
    QTest::addColumn<QByteArray>("stream");
    const auto clip = station::ClipLibrary::loadClip(kMedia / "demo-colours.wmv");
    const std::string header(clip->header());
    const auto chunk = [](station::ChunkType type, std::string_view payload) {
        return station::frameChunk(type, 0, 0, payload);
    };
    const std::string good = chunk(station::ChunkType::Header, header);
    QTest::newRow("an HTML page") << QByteArray("<html><body>404</body></html>");
    QTest::newRow("data before the header") << bytesOf(chunk(station::ChunkType::Data, "x") + good);
    QTest::newRow("a packet larger than the header says")
        << bytesOf(good + chunk(station::ChunkType::Data, std::string(3201, 'x')));
    QTest::newRow("a second header") << bytesOf(good + good);
    QTest::newRow("another file follows") << bytesOf(good + chunk(station::ChunkType{'C'}, ""));
    QTest::newRow("a chunk shorter than its own header") << QByteArray("$D\x02\x00xx", 6);
    std::string huge = header;
    huge[16 + 3] = '\x7f'; // a header object of 2 GiB
    QTest::newRow("a header too large to take") << bytesOf(chunk(station::ChunkType::Header, huge));
    std::string uneven = header;
    const std::size_t properties = uneven.find("\xA1\xDC\xAB\x8C");
    QVERIFY(properties != std::string::npos);
    uneven[properties + 96] ^= 1; // packets of two sizes
    QTest::newRow("packets of different sizes")
        << bytesOf(chunk(station::ChunkType::Header, uneven));
    // Packets of 3.5 GB: no chunk carries one, and padding to that size would take the memory.
    std::string vast = header;
    for (const std::size_t at : {properties + 92, properties + 96})
        vast.replace(at, 4, "\x00\x00\x00\xD0", 4);
    QTest::newRow("packets larger than a chunk")
        << bytesOf(chunk(station::ChunkType::Header, vast) + chunk(station::ChunkType::Data, "x"));
    QTest::newRow("more header than it says")
        << bytesOf(chunk(station::ChunkType::Header, header + "x"));
}

void TestMmshReader::whatIsNoSuchStreamBreaksTheReader() {
    QFETCH(QByteArray, stream);
    MmshReader reader;
    reader.feed(stream);
    QVERIFY(reader.broken());
    QVERIFY(!reader.feed("$E\x08\x00\x00\x00\x00\x00\x00\x00\x08\x00"));
    QVERIFY(reader.takePackets().isEmpty());
}

QTEST_GUILESS_MAIN(TestMmshReader)
#include "tst_mmsh_reader.moc"
