// Stream framing and the ASF reader, on real generated clips and on broken input.
#include "ClipLibrary.h"
#include "Mmsh.h"
#include "StationPages.h"

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <random>
#include <set>

using namespace station;

namespace {

const std::filesystem::path kMedia = VELMORA_TEST_MEDIA_DIR;

std::string headOf(const std::string& s, std::size_t n) {
    return s.substr(0, std::min(n, s.size()));
}

// Whatever parseAsf accepts must describe bytes that are really there.
bool layoutFits(const AsfLayout& l, std::size_t fileSize) {
    return l.headerLength == l.headerObjectSize + kAsfDataObjectHeaderSize &&
           l.headerLength <= fileSize && l.packetSize > 0 && l.packetSize <= kMaxChunkPayload &&
           l.packetCount <= (fileSize - l.headerLength) / l.packetSize;
}

RequestHead headWith(std::initializer_list<const char*> pragmas) {
    RequestHead h;
    for (const char* p : pragmas)
        h.headers.emplace_back("Pragma", p);
    return h;
}

} // namespace

class TestStationMmsh : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void chunkFraming() {
        const std::string c = frameChunk(ChunkType::Data, 0x01020304, 0x0C, "abc");
        QCOMPARE(c, std::string("$D\x0B\x00\x04\x03\x02\x01\x00\x0C\x0B\x00"
                                "abc",
                                15));
        const std::optional<ChunkHeader> h = parseChunkHeader(c);
        QVERIFY(h);
        QCOMPARE(h->type, 'D');
        QCOMPARE(h->length, std::uint16_t(11));
        QCOMPARE(h->length2, std::uint16_t(11));
        QCOMPARE(h->sequence, std::uint32_t(0x01020304));
        QCOMPARE(h->flags, std::uint8_t(0x0C));
        QCOMPARE(frameChunk(ChunkType::End, 0, 0, {}).size(), kChunkHeaderSize);

        QVERIFY(!parseChunkHeader(c.substr(0, 11)));
        QVERIFY(!parseChunkHeader("xD" + c.substr(2)));
        // A payload the player could not hold is never framed whole.
        const std::string big = frameChunk(ChunkType::Data, 1, 0, std::string(70000, 'x'));
        QCOMPARE(big.size(), kChunkHeaderSize + kMaxChunkPayload);
        QCOMPARE(parseChunkHeader(big)->length, std::uint16_t(8 + kMaxChunkPayload));
    }

    void parsesGeneratedClips() {
        for (std::string_view name : demoClipNames()) {
            const auto clip = ClipLibrary::loadClip(kMedia / std::string(name));
            QVERIFY2(clip, std::string(name).c_str());
            const AsfLayout& l = clip->layout;
            QVERIFY(layoutFits(l, clip->bytes.size()));
            QVERIFY(l.packetCount > 10);
            // The data object sits right behind the header object and every packet starts with
            // the error-correction byte the muxer writes.
            QCOMPARE(clip->bytes.substr(l.headerObjectSize, 4), std::string("\x36\x26\xB2\x75"));
            QCOMPARE(static_cast<unsigned char>(clip->packet(0)[0]), 0x82u);
            QCOMPARE(static_cast<unsigned char>(clip->packet(l.packetCount - 1)[0]), 0x82u);
            const double seconds = static_cast<double>(l.playDuration100ns) / 1e7;
            QVERIFY(seconds > 5 && seconds < 70);
            QVERIFY(l.bytesPerSecond() > 10000);
        }
        QVERIFY(!ClipLibrary::loadClip(kMedia / "sample.mp3"));
        QVERIFY(!ClipLibrary::loadClip(kMedia / "no-such-file.wmv"));
    }

    void truncatedAndDamagedInputIsRefusedOrBounded() {
        const auto clip = ClipLibrary::loadClip(kMedia / "demo-testsrc.wmv");
        QVERIFY(clip);
        const std::string& file = clip->bytes;
        const std::size_t headerLength = clip->layout.headerLength;

        for (std::size_t n = 0; n < headerLength; ++n)
            QVERIFY(!parseAsf(std::string_view(file).substr(0, n)));
        for (std::size_t n = headerLength; n < headerLength + 3 * clip->layout.packetSize;
             n += 97) {
            const auto l = parseAsf(std::string_view(file).substr(0, n));
            QVERIFY(l && layoutFits(*l, n));
        }

        std::mt19937 gen(11);
        const std::string head = headOf(file, headerLength + 4 * clip->layout.packetSize);
        for (int i = 0; i < 4000; ++i) {
            std::string damaged = head;
            for (int k = 0; k < 1 + static_cast<int>(gen() % 4); ++k)
                damaged[gen() % std::min<std::size_t>(damaged.size(), headerLength + 8)] =
                    static_cast<char>(gen());
            if (const auto l = parseAsf(damaged))
                QVERIFY(layoutFits(*l, damaged.size()));
        }
        for (int i = 0; i < 200; ++i) {
            std::string junk(gen() % 4096, '\0');
            for (char& c : junk)
                c = static_cast<char>(gen());
            QVERIFY(!parseAsf(junk));
            QVERIFY(!parseAsf(file.substr(0, 16) + junk)); // header GUID, nonsense behind it
        }

        std::string hostile = head;
        for (int k = 16; k < 24; ++k) // header object claims 2^64-1 bytes
            hostile[static_cast<std::size_t>(k)] = '\xFF';
        QVERIFY(!parseAsf(hostile));
        hostile = head;
        for (int k = 30 + 16; k < 30 + 24; ++k) // first sub-object of size 0
            hostile[static_cast<std::size_t>(k)] = '\0';
        QVERIFY(!parseAsf(hostile));
    }

    void streamRequests() {
        QVERIFY(!classifyStreamRequest(headWith({"no-cache,rate=1.000000,stream-time=0,"
                                                 "stream-offset=0:0,request-context=1"}))
                     .play);
        const StreamRequest play = classifyStreamRequest(
            headWith({"no-cache,rate=1.000000,stream-time=0,stream-offset=1:4694400,"
                      "request-context=3,max-duration=0",
                      "xPlayStrm=1", "xClientGUID={0}"}));
        QVERIFY(play.play);
        QCOMPARE(play.streamOffset, (std::uint64_t(1) << 32) + 4694400);
        for (const char* bad : {"stream-offset=x:y", "stream-offset=4294967296:0",
                                "stream-offset=5", "stream-offset=-1:-1"})
            QCOMPARE(classifyStreamRequest(headWith({bad})).streamOffset, std::uint64_t(0));
        QVERIFY(!classifyStreamRequest(headWith({"xPlayStrm=10"})).play);
        // A client that keeps the programme asks for it faster than its rate.
        QCOMPARE(classifyStreamRequest(headWith({"xPlayStrm=1,Speed=5.000"})).speed, 5.0);
        QCOMPARE(classifyStreamRequest(headWith({"Speed=1000"})).speed, 1000.0);
        QCOMPARE(play.speed, 0.0);
        for (const char* bad : {"Speed=0.500", "Speed=5.", "Speed=1.2345", "Speed=x", "Speed=-2",
                                "Speed=", "Speed=12345678901"})
            QCOMPARE(classifyStreamRequest(headWith({bad})).speed, 0.0);

        QCOMPARE(streamTitleFromPath("/sp/%E6%96%B0%E9%97%BB.wmv"), std::string("新闻"));
        QCOMPARE(streamTitleFromPath("/sp/.wmv"), std::string());
        QCOMPARE(streamTitleFromPath("/sp/%zz.wmv"), std::string("%zz"));
        QCOMPARE(streamTitleFromPath("/sp/%D0%C2.wmv"), std::string("\xD0\xC2"));
        QCOMPARE(streamTitleFromPath("/sp/a/b.wmv"), std::string("a/b"));
        QVERIFY(!streamTitleFromPath("/sp/a.mp4"));
        QVERIFY(!streamTitleFromPath("/sp/wmv"));
        QVERIFY(!streamTitleFromPath("/x/a.wmv"));
    }

    void titlesMapToClipsDeterministically() {
        ClipLibrary library(kMedia);
        std::set<std::string> used;
        for (int row = 1; row <= kCategoryRows; ++row) {
            for (const DemoEntry& e : demoEntries(row)) {
                const auto clip = library.clipForTitle(e.title);
                QVERIFY(clip);
                QCOMPARE(library.clipForTitle(e.title)->name, clip->name);
                used.insert(clip->name);
            }
        }
        QCOMPARE(used.size(), demoClipNames().size());
        QVERIFY(!library.clipForTitle("missing-programme"));
        QVERIFY(library.clipForTitle("Missing"));

        // With only one clip present every title still plays, as that one.
        QTemporaryDir dir;
        const std::filesystem::path only = dir.path().toStdString();
        std::filesystem::copy_file(kMedia / "demo-colours.wmv", only / "demo-colours.wmv");
        ClipLibrary sparse(only);
        for (const char* title : {"a", "b", "c", "d", "e", "f", ""})
            QCOMPARE(sparse.clipForTitle(title)->name, std::string("demo-colours.wmv"));
        QVERIFY(!ClipLibrary(only / "absent").clipForTitle("a"));
    }
};

QTEST_GUILESS_MAIN(TestStationMmsh)
#include "tst_station_mmsh.moc"
