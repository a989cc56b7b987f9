#include "StationServer.h"

#include "HostileAds.h"
#include "Mmsh.h"
#include "StationPages.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace station {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxConnections = 256;
constexpr std::size_t kSendPiece = 64 * 1024;
constexpr std::size_t kHeaderChunkPiece = 16 * 1024;
constexpr std::size_t kGarbageBytes = 64 * 1024;
constexpr int kLingerMs = 2000;

std::string statusLine(std::string_view version, int status, std::string_view reason) {
    std::string s(version);
    s += ' ';
    s += std::to_string(status);
    s += ' ';
    s += reason;
    s += "\r\n";
    return s;
}

// Filler that keeps an oversized page looking like HTML and never contains a marker or an entry.
const std::string& fillerBlock() {
    static const std::string block = [] {
        std::string b;
        while (b.size() < kSendPiece)
            b += "<p class=\"pad\">..............................................</p>\n";
        return b;
    }();
    return block;
}

} // namespace

// One accepted socket. All waits also watch the server's stop pipe and notice a client that
// went away, so no thread outlives stop() for long.
class Connection {
  public:
    Connection(StationServer& server, int fd) : server_(server), fd_(fd) {}

    enum class Wait { Ready, Timeout, Gone };

    // Waits until fd is readable, the time runs out (-1: never), the client left or we stop.
    Wait waitReadable(int timeoutMs) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {server_.stopPipe_[0], POLLIN, 0}};
        for (;;) {
            const int r = ::poll(fds, 2, timeoutMs);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 || (fds[1].revents & POLLIN))
                return Wait::Gone;
            if (r == 0)
                return Wait::Timeout;
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
                return Wait::Ready;
        }
    }

    // Sleeps for ms while reading and discarding anything the client sends. False when the
    // client went away or the server stops.
    bool pause(int ms) {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0)
                return true;
            switch (waitReadable(static_cast<int>(left))) {
            case Wait::Timeout:
                return true;
            case Wait::Gone:
                return false;
            case Wait::Ready:
                if (!discardInput())
                    return false;
                break;
            }
        }
    }

    // Keeps the socket open, answering nothing, until the client closes it or we stop.
    void holdUntilClientGoes() {
        while (waitReadable(-1) == Wait::Ready) {
            if (!discardInput())
                return;
        }
    }

    bool sendAll(std::string_view data) {
        while (!data.empty()) {
            if (server_.stopping_)
                return false;
            const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) // a reset or a closed client is simply the end of this connection
                return false;
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Reads the request head. Closes at once (returns false) when the first bytes are not "GET ",
    // which is how a client probing for another protocol on this port learns to fall back.
    bool readHead(ParseResult& result) {
        static constexpr std::string_view kGet = "GET ";
        std::string buf;
        char chunk[4096];
        for (;;) {
            if (waitReadable(server_.config_.headTimeoutMs) != Wait::Ready)
                return false;
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            buf.append(chunk, static_cast<std::size_t>(n));
            const std::size_t check = std::min(buf.size(), kGet.size());
            if (std::string_view(buf).substr(0, check) != kGet.substr(0, check))
                return false;
            result = parseRequestHead(buf);
            if (result.status != ParseStatus::Incomplete)
                return true;
        }
    }

    bool sendHead(std::string_view version, int status, std::string_view reason,
                  const std::vector<std::string>& headers) {
        std::string h = statusLine(version, status, reason);
        h += "Server: velmora-station\r\n";
        for (const std::string& line : headers)
            h += line + "\r\n";
        h += "\r\n";
        return sendAll(h);
    }

    void sendSimple(int status, std::string_view reason, std::string_view contentType,
                    std::string_view body) {
        if (sendHead("HTTP/1.1", status, reason,
                     {"Content-Type: " + std::string(contentType),
                      "Content-Length: " + std::to_string(body.size()), "Connection: close"}))
            sendAll(body);
    }

    void sendError(int status, std::string_view reason) {
        sendSimple(status, reason, "text/html; charset=utf-8", buildErrorPage(status, reason));
    }

    void sendRedirect(const std::string& location) {
        const std::string body = buildErrorPage(302, "Found");
        if (sendHead("HTTP/1.1", 302, "Found",
                     {"Location: " + location, "Content-Type: text/html; charset=utf-8",
                      "Content-Length: " + std::to_string(body.size()), "Connection: close"}))
            sendAll(body);
    }

    // Streams `total` bytes: `first`, then filler.
    void sendPadded(std::string_view first, std::size_t total) {
        const std::string_view head = first.substr(0, std::min(first.size(), total));
        if (!sendAll(head))
            return;
        std::size_t left = total - head.size();
        while (left > 0) {
            const std::size_t n = std::min(left, fillerBlock().size());
            if (!sendAll(std::string_view(fillerBlock()).substr(0, n)))
                return;
            left -= n;
        }
    }

    // Half-closes and waits a little for the client to finish reading, so a close never turns
    // into a reset that could cut our answer short on the client's side.
    void lingeringClose() {
        ::shutdown(fd_, SHUT_WR);
        const auto until = Clock::now() + std::chrono::milliseconds(kLingerMs);
        char scratch[4096];
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0 || waitReadable(static_cast<int>(left)) != Wait::Ready)
                return;
            const ssize_t n = ::recv(fd_, scratch, sizeof scratch, 0);
            if (n <= 0 && !(n < 0 && errno == EINTR))
                return;
        }
    }

    // The stream fault, once its packets have gone out.
    void misbehave(const StreamFault& fault) {
        server_.log((fault.kind == StreamFault::Kind::Drop ? "stream dropped after "
                                                           : "stream stalled after ") +
                    std::to_string(fault.afterPackets) + " packets");
        if (fault.kind == StreamFault::Kind::Stall) {
            holdUntilClientGoes();
            return;
        }
        // No lingering: the close that follows resets the connection.
        const linger reset{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }

    void servePage(int row, const RequestHead& head);
    void serveStream(const RequestHead& head, std::string_view path);

  private:
    bool discardInput() {
        char scratch[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, scratch, sizeof scratch, MSG_DONTWAIT);
            if (n > 0)
                return true;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            return false;
        }
    }

    StationServer& server_;
    int fd_;
};

void Connection::servePage(int row, const RequestHead& head) {
    const std::string& page = server_.pages_[static_cast<std::size_t>(row - 1)];
    const std::string gbkHtml = "Content-Type: text/html; charset=gbk";
    const auto it = server_.config_.faults.find(row);
    if (it == server_.config_.faults.end()) {
        sendSimple(200, "OK", "text/html; charset=gbk", page);
        lingeringClose();
        return;
    }
    switch (it->second) {
    case Fault::NotFound:
        sendError(404, "Not Found");
        break;
    case Fault::Stall:
        holdUntilClientGoes();
        return;
    case Fault::Close:
        return;
    case Fault::Oversize:
        if (sendHead("HTTP/1.1", 200, "OK",
                     {gbkHtml, "Content-Length: " + std::to_string(kOversizeBytes),
                      "Connection: close"}))
            sendPadded(page, kOversizeBytes);
        break;
    case Fault::Huge:
        // No length: the end of the body is the end of the connection.
        if (sendHead("HTTP/1.1", 200, "OK", {gbkHtml, "Connection: close"}))
            sendPadded(page, kHugeBytes);
        break;
    case Fault::StallMid:
        if (sendHead(
                "HTTP/1.1", 200, "OK",
                {gbkHtml, "Content-Length: " + std::to_string(page.size()), "Connection: close"}) &&
            sendAll(std::string_view(page).substr(0, page.size() / 2)))
            holdUntilClientGoes();
        return;
    case Fault::Drip:
        if (sendHead(
                "HTTP/1.1", 200, "OK",
                {gbkHtml, "Content-Length: " + std::to_string(page.size()), "Connection: close"})) {
            for (char c : page) {
                if (!sendAll(std::string_view(&c, 1)) || !pause(1000))
                    return;
            }
        }
        break;
    case Fault::Truncated:
        if (sendHead("HTTP/1.1", 200, "OK",
                     {gbkHtml, "Content-Length: " + std::to_string(page.size() + 4096),
                      "Connection: close"}))
            sendAll(page);
        return; // closing with bytes still owed is the point
    case Fault::RedirectLoop:
        sendRedirect(head.target);
        break;
    case Fault::RedirectFtp:
        sendRedirect("ftp://127.0.0.1:" + std::to_string(server_.port_) + head.target);
        break;
    case Fault::Garbage:
        sendSimple(200, "OK", "text/html; charset=gbk",
                   garbageBytes(kGarbageBytes, static_cast<unsigned>(row)));
        break;
    case Fault::Nul:
        sendSimple(200, "OK", "text/html; charset=gbk", pageWithNuls(page));
        break;
    case Fault::MarkersReversed:
        sendSimple(200, "OK", "text/html; charset=gbk", pageWithMarkersReversed(page));
        break;
    case Fault::NoStart:
        sendSimple(200, "OK", "text/html; charset=gbk", pageWithoutStart(page));
        break;
    case Fault::NoEnd:
        sendSimple(200, "OK", "text/html; charset=gbk", pageWithoutEnd(page));
        break;
    }
    lingeringClose();
}

void Connection::serveStream(const RequestHead& head, std::string_view path) {
    const std::optional<std::string> title = streamTitleFromPath(path);
    if (!title) {
        sendError(404, "Not Found");
        lingeringClose();
        return;
    }
    const StreamRequest request = classifyStreamRequest(head);
    server_.log((request.play ? "play " : "describe ") + escapeForLog(*title));

    const std::shared_ptr<const Clip> clip = server_.clips_.clipForTitle(*title);
    if (!clip) {
        sendError(404, "Not Found");
        lingeringClose();
        return;
    }
    const AsfLayout& layout = clip->layout;
    const std::string clientId = std::to_string(100000 + server_.clientIds_.fetch_add(1));
    if (!sendHead("HTTP/1.0", 200, "OK",
                  {request.play ? "Content-Type: application/x-mms-framed"
                                : "Content-Type: application/vnd.ms.wms-hdr.asfv1",
                   "Cache-Control: no-cache", "Pragma: no-cache", "Pragma: client-id=" + clientId,
                   "Pragma: features=\"seekable,stridx\"", "Connection: close"}))
        return;

    std::uint32_t sequence = 0;
    const std::string_view header = clip->header();
    for (std::size_t at = 0; at < header.size(); at += kHeaderChunkPiece) {
        const std::string_view piece = header.substr(at, kHeaderChunkPiece);
        std::uint8_t flags = 0;
        if (at == 0)
            flags |= 0x04;
        if (at + piece.size() >= header.size())
            flags |= 0x08;
        if (!sendAll(frameChunk(ChunkType::Header, sequence++, flags, piece)))
            return;
    }
    if (request.play) {
        const std::uint64_t firstPacket = request.streamOffset / layout.packetSize;
        if (firstPacket > 0)
            server_.log("play from packet " + std::to_string(firstPacket));
        const double rate = layout.bytesPerSecond() * server_.config_.paceFactor;
        // The first seconds go out at once so the player's buffer fills without waiting.
        const double burstBytes = rate * 3.0;
        const auto start = Clock::now();
        for (std::uint64_t i = firstPacket; i < layout.packetCount; ++i) {
            if (rate > 0) {
                const double sent =
                    static_cast<double>(i - firstPacket) * static_cast<double>(layout.packetSize);
                const double dueSeconds = (sent - burstBytes) / rate;
                if (dueSeconds > 0) {
                    const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(dueSeconds));
                    const auto wait =
                        std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
                    if (wait.count() > 0 && !pause(static_cast<int>(wait.count())))
                        return;
                }
            }
            const StreamFault& fault = server_.config_.streamFault;
            if (fault.kind != StreamFault::Kind::None && i - firstPacket == fault.afterPackets) {
                misbehave(fault);
                return;
            }
            if (!sendAll(frameChunk(ChunkType::Data, sequence++, 0, clip->packet(i))))
                return;
        }
        if (!sendAll(frameChunk(ChunkType::End, 0, 0, {})))
            return;
    }
    lingeringClose();
}

StationServer::StationServer(StationConfig config)
    : config_(std::move(config)), clips_(config_.mediaDir) {
    for (int row = 1; row <= kCategoryRows; ++row)
        pages_[static_cast<std::size_t>(row - 1)] = buildCategoryPage(row);
}

StationServer::~StationServer() {
    stop();
}

bool StationServer::start(std::string* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        if (listenFd_ >= 0)
            ::close(listenFd_);
        listenFd_ = -1;
        return false;
    };
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return fail("socket");
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(config_.port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail("bind");
    if (::listen(listenFd_, 64) != 0)
        return fail("listen");
    socklen_t len = sizeof addr;
    if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return fail("getsockname");
    port_ = ntohs(addr.sin_port);
    if (config_.onListening)
        config_.onListening(port_);
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void StationServer::stop() {
    if (stopping_.exchange(true))
        return;
    if (stopPipe_[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &b, 1);
    }
    if (acceptThread_.joinable())
        acceptThread_.join();
    {
        std::lock_guard lock(connMutex_);
        for (int fd : openFds_)
            ::shutdown(fd, SHUT_RDWR); // wakes a thread blocked in send()
    }
    reapWorkers(true);
    if (listenFd_ >= 0)
        ::close(listenFd_);
    listenFd_ = -1;
    for (int& fd : stopPipe_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void StationServer::acceptLoop() {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    while (!stopping_) {
        const int r = ::poll(fds, 2, 1000);
        if (r < 0 && errno != EINTR)
            return;
        reapWorkers(false);
        if (r <= 0 || (fds[1].revents & POLLIN))
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(connMutex_);
        if (workers_.size() >= kMaxConnections || stopping_) {
            ::close(fd);
            continue;
        }
        openFds_.insert(fd);
        auto worker = std::make_unique<Worker>();
        Worker* w = worker.get();
        workers_.push_back(std::move(worker));
        w->thread = std::thread([this, fd, w] {
            serve(fd);
            unregisterFd(fd);
            w->done = true;
        });
    }
}

void StationServer::reapWorkers(bool all) {
    std::list<std::unique_ptr<Worker>> finished;
    {
        std::lock_guard lock(connMutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& w : finished) {
        if (w->thread.joinable())
            w->thread.join();
    }
}

void StationServer::unregisterFd(int fd) {
    std::lock_guard lock(connMutex_);
    openFds_.erase(fd);
    ::close(fd);
}

void StationServer::log(const std::string& line) {
    if (!config_.log)
        return;
    std::lock_guard lock(logMutex_);
    config_.log(line);
}

void StationServer::serve(int fd) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Connection conn(*this, fd);
    ParseResult parsed;
    if (!conn.readHead(parsed))
        return;
    if (!parsed.head.requestLine.empty())
        log(escapeForLog(parsed.head.requestLine));
    if (parsed.status == ParseStatus::Malformed) {
        conn.sendError(400, "Bad Request");
        conn.lingeringClose();
        return;
    }
    if (parsed.status == ParseStatus::TooLarge) {
        conn.sendError(431, "Request Header Fields Too Large");
        conn.lingeringClose();
        return;
    }
    const RequestHead& head = parsed.head;
    const std::string_view path = targetPath(head.target);
    if (const int row = rowForPath(path); row != 0) {
        conn.servePage(row, head);
    } else if (path.substr(0, 4) == "/sp/") {
        conn.serveStream(head, path);
    } else if (path == kBeaconPath) {
        conn.sendSimple(200, "OK", "text/plain", "ok");
        conn.lingeringClose();
    } else if (path.substr(0, kHostileAdPrefix.size()) == kHostileAdPrefix) {
        const std::string_view name = path.substr(kHostileAdPrefix.size());
        if (name == kRedirectLoopAd) {
            conn.sendRedirect(head.target);
        } else if (const std::optional<std::string> ad = hostileAdPage(name)) {
            conn.sendSimple(200, "OK", "text/html; charset=utf-8", *ad);
        } else {
            conn.sendError(404, "Not Found");
        }
        conn.lingeringClose();
    } else if (path.substr(0, 4) == "/ad/") {
        conn.sendSimple(200, "OK", "text/html; charset=utf-8", buildAdPage());
        conn.lingeringClose();
    } else {
        conn.sendError(404, "Not Found");
        conn.lingeringClose();
    }
}

} // namespace station
