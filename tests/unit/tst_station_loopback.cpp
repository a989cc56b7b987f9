// The station over real loopback sockets: in-process for the protocol, and the binary once for
// its command line.
#include "ClipLibrary.h"
#include "Mmsh.h"
#include "StationPages.h"
#include "StationServer.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace station;

namespace {

// A blocking client with a deadline on every read, so a fault in the server fails the test
// instead of hanging it.
class Client {
  public:
    explicit Client(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Client() { ::close(fd_); }
    bool connected() const { return connected_; }

    bool send(std::string_view data) {
        return ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL) == ssize_t(data.size());
    }

    // Everything until the server closes; false if that takes longer than the deadline.
    bool readToEnd(std::string& out, int deadlineMs = 10000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
        char buf[65536];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  until - std::chrono::steady_clock::now())
                                  .count();
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
                return false;
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0)
                return true;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }

  private:
    int fd_ = -1;
    bool connected_ = false;
};

struct Response {
    std::string head;
    std::string body;
};

Response split(const std::string& raw) {
    const std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos)
        return {raw, {}};
    return {raw.substr(0, end + 2), raw.substr(end + 4)};
}

std::string exchange(std::uint16_t port, std::string_view request) {
    Client c(port);
    std::string raw;
    if (!c.connected() || !c.send(request) || !c.readToEnd(raw))
        return "<no complete answer>";
    return raw;
}

// Splits a framed stream into its chunks; fails on a broken frame.
bool readChunks(std::string_view body, std::vector<std::pair<ChunkHeader, std::string>>& out) {
    while (!body.empty()) {
        const auto h = parseChunkHeader(body);
        if (!h || h->length != h->length2 || h->length < 8 ||
            body.size() < kChunkHeaderSize + h->length - 8u)
            return false;
        out.emplace_back(*h, std::string(body.substr(kChunkHeaderSize, h->length - 8u)));
        body.remove_prefix(kChunkHeaderSize + h->length - 8u);
    }
    return true;
}

const char kTitle[] = "新闻联播0112期";
const char kTitleEscaped[] = "%E6%96%B0%E9%97%BB%E8%81%94%E6%92%AD0112%E6%9C%9F";

} // namespace

class TestStationLoopback : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<StationServer> server_;
    std::mutex logMutex_;
    std::vector<std::string> log_;
    std::shared_ptr<const Clip> clip_;

    std::vector<std::string> logLines() {
        std::lock_guard lock(logMutex_);
        return log_;
    }
    bool logged(const std::string& line) {
        const auto lines = logLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

  private Q_SLOTS:
    void initTestCase() {
        StationConfig config;
        config.mediaDir = VELMORA_TEST_MEDIA_DIR;
        config.faults[2] = Fault::NotFound;
        config.faults[3] = Fault::Stall;
        config.log = [this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        };
        server_ = std::make_unique<StationServer>(std::move(config));
        std::string error;
        QVERIFY2(server_->start(&error), error.c_str());
        QVERIFY(server_->port() != 0);
        clip_ = ClipLibrary(VELMORA_TEST_MEDIA_DIR).clipForTitle(kTitle);
        QVERIFY(clip_);
    }

    void cleanupTestCase() { server_.reset(); }

    void servesPagesAndFaults() {
        const Response page =
            split(exchange(server_->port(), "GET /index/4/20100112/100813.shtml HTTP/1.1\r\n"
                                            "Host: 127.0.0.1\r\n\r\n"));
        QVERIFY2(page.head.starts_with("HTTP/1.1 200 "), page.head.c_str());
        QVERIFY(page.head.find("Content-Type: text/html; charset=gbk\r\n") != std::string::npos);
        QVERIFY(page.body == buildCategoryPage(1));
        QVERIFY(logged("GET /index/4/20100112/100813.shtml HTTP/1.1"));

        const Response notFound =
            split(exchange(server_->port(), "GET /index/4/20100112/100751.shtml HTTP/1.1\r\n\r\n"));
        QVERIFY(notFound.head.starts_with("HTTP/1.1 404 "));
        QVERIFY(split(exchange(server_->port(), "GET /other HTTP/1.1\r\n\r\n"))
                    .head.starts_with("HTTP/1.1 404 "));
        const Response ad = split(exchange(server_->port(), "GET /ad/enter?x=1 HTTP/1.1\r\n\r\n"));
        QVERIFY(ad.head.find("charset=utf-8") != std::string::npos);
        QVERIFY(ad.body == buildAdPage());
        QVERIFY(split(exchange(server_->port(), "GET /a b c\r\n\r\n"))
                    .head.starts_with("HTTP/1.1 400 "));
    }

    void dropsOtherProtocolsAtOnce() {
        const std::size_t before = logLines().size();
        Client c(server_->port());
        QVERIFY(c.send(std::string("\x01\x00\x00\x00\xCE\xFA\x0B\xB0", 8)));
        std::string raw;
        QVERIFY(c.readToEnd(raw, 5000));
        QVERIFY(raw.empty());
        QCOMPARE(logLines().size(), before);
    }

    void describeSendsTheHeaderOnly() {
        const Response r =
            split(exchange(server_->port(),
                           std::string("GET /sp/") + kTitleEscaped +
                               ".wmv HTTP/1.0\r\nAccept: */*\r\nUser-Agent: NSPlayer/4.1.0.3856\r\n"
                               "Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,"
                               "request-context=1,max-duration=0\r\nConnection: Close\r\n\r\n"));
        QVERIFY2(r.head.starts_with("HTTP/1.0 200 "), r.head.c_str());
        QVERIFY(r.head.find("Content-Type: application/vnd.ms.wms-hdr.asfv1\r\n") !=
                std::string::npos);
        QVERIFY(r.head.find("Pragma: features=\"seekable,stridx\"\r\n") != std::string::npos);
        std::vector<std::pair<ChunkHeader, std::string>> chunks;
        QVERIFY(readChunks(r.body, chunks));
        std::string header;
        for (const auto& [h, payload] : chunks) {
            QCOMPARE(h.type, 'H');
            header += payload;
        }
        QVERIFY(header == clip_->header());
        QVERIFY(logged(std::string("describe ") + kTitle));
    }

    void playSendsPacketsFromTheOffset() {
        const AsfLayout& l = clip_->layout;
        const std::uint64_t first = l.packetCount - 3;
        const std::uint64_t offset = first * l.packetSize;
        const std::string request =
            std::string("GET /sp/") + kTitleEscaped +
            ".wmv HTTP/1.0\r\nPragma: no-cache,rate=1.000000,stream-time=0,stream-offset=" +
            std::to_string(offset >> 32) + ":" + std::to_string(offset & 0xFFFFFFFF) +
            ",request-context=2,max-duration=0\r\nPragma: xPlayStrm=1\r\n\r\n";
        const Response r = split(exchange(server_->port(), request));
        QVERIFY(r.head.find("Content-Type: application/x-mms-framed\r\n") != std::string::npos);
        std::vector<std::pair<ChunkHeader, std::string>> chunks;
        QVERIFY(readChunks(r.body, chunks));
        QVERIFY(chunks.size() >= 5);
        QCOMPARE(chunks.back().first.type, 'E');
        const std::size_t firstData = chunks.size() - 4;
        for (std::size_t i = 0; i < 3; ++i) {
            const auto& [h, payload] = chunks[firstData + i];
            QCOMPARE(h.type, 'D');
            QCOMPARE(h.sequence, chunks[firstData - 1].first.sequence + 1 + i);
            QVERIFY(payload == clip_->packet(first + i));
        }
        QVERIFY(logged(std::string("play ") + kTitle));

        // Undecodable titles are logged escaped; "missing" titles are not there.
        QVERIFY(split(exchange(server_->port(), "GET /sp/missing%FF.wmv HTTP/1.0\r\n\r\n"))
                    .head.starts_with("HTTP/1.1 404 "));
        QVERIFY(logged("describe missing\\xFF"));
    }

    // A played stream breaks off after its packets: reset, or held open with nothing more.
    void streamFaultsCutThePlayShort() {
        for (const StreamFault::Kind kind : {StreamFault::Kind::Drop, StreamFault::Kind::Stall}) {
            std::vector<std::string> lines;
            std::mutex linesMutex;
            StationConfig config;
            config.mediaDir = VELMORA_TEST_MEDIA_DIR;
            config.paceFactor = 0;
            config.streamFault = {kind, 2};
            config.log = [&](const std::string& line) {
                std::lock_guard lock(linesMutex);
                lines.push_back(line);
            };
            StationServer server(std::move(config));
            QVERIFY(server.start());
            // A description is never cut.
            const Response describe = split(exchange(
                server.port(), std::string("GET /sp/") + kTitleEscaped + ".wmv HTTP/1.0\r\n\r\n"));
            QVERIFY(describe.head.starts_with("HTTP/1.0 200 "));
            Client c(server.port());
            QVERIFY(c.send(std::string("GET /sp/") + kTitleEscaped +
                           ".wmv HTTP/1.0\r\nPragma: xPlayStrm=1\r\n\r\n"));
            std::string raw;
            const bool closed = c.readToEnd(raw, 1500);
            QCOMPARE(closed, kind == StreamFault::Kind::Drop);
            std::vector<std::pair<ChunkHeader, std::string>> chunks;
            QVERIFY(readChunks(split(raw).body, chunks));
            std::string types;
            for (const auto& [h, payload] : chunks)
                types += h.type;
            QCOMPARE(types.substr(types.find('D')), std::string("DD"));
            QVERIFY(chunks[chunks.size() - 1].second == clip_->packet(1));
            std::lock_guard lock(linesMutex);
            QVERIFY(std::find(lines.begin(), lines.end(),
                              kind == StreamFault::Kind::Drop
                                  ? "stream dropped after 2 packets"
                                  : "stream stalled after 2 packets") != lines.end());
        }
    }

    void stopEndsStalledConnections() {
        StationConfig config;
        config.faults[1] = Fault::Stall;
        StationServer server(std::move(config));
        QVERIFY(server.start());
        Client c(server.port());
        QVERIFY(c.send("GET /index/4/20100112/100813.shtml HTTP/1.1\r\n\r\n"));
        server.stop(); // must return although the client never goes
        std::string raw;
        QVERIFY(c.readToEnd(raw, 5000));
        QVERIFY(raw.empty());
    }

    void binaryListensAndEndsOnSigterm() {
        QProcess station;
        station.start(QStringLiteral(VELMORA_BIN_DIR "/velmora-station"),
                      {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--fault"),
                       QStringLiteral("4=oversize")});
        QVERIFY(station.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(station.canReadLine(), 10000);
        const QString first = QString::fromUtf8(station.readLine());
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\\n$"))
                .match(first);
        QVERIFY2(m.hasMatch(), qPrintable(first));
        const auto port = static_cast<std::uint16_t>(m.captured(1).toUInt());
        QVERIFY(exchange(port, "GET /ad/ HTTP/1.1\r\n\r\n").starts_with("HTTP/1.1 200 "));
        QTRY_VERIFY_WITH_TIMEOUT(station.canReadLine(), 10000);
        QCOMPARE(QString::fromUtf8(station.readLine()), QStringLiteral("GET /ad/ HTTP/1.1\n"));

        station.terminate();
        QVERIFY(station.waitForFinished(10000));
        QCOMPARE(station.exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.exitCode(), 0);

        QProcess bad;
        bad.start(QStringLiteral(VELMORA_BIN_DIR "/velmora-station"),
                  {QStringLiteral("--fault"), QStringLiteral("9=404")});
        QVERIFY(bad.waitForFinished(10000));
        QCOMPARE(bad.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestStationLoopback)
#include "tst_station_loopback.moc"
