#include "StationServer.h"

#include "Connection.h"
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
constexpr std::size_t kHeaderChunkPiece = 16 * 1024;
constexpr std::size_t kGarbageBytes = 64 * 1024;

} // namespace

void StationServer::servePage(Connection& c, int row, const RequestHead& head) {
    const std::string& page = pages_[static_cast<std::size_t>(row - 1)];
    const std::string gbkHtml = "Content-Type: text/html; charset=gbk";
    const auto it = config_.faults.find(row);
    if (it == config_.faults.end()) {
        c.sendSimple(200, "OK", "text/html; charset=gbk", page);
        c.lingeringClose();
        return;
    }
    switch (it->second) {
    case Fault::NotFound:
        c.sendError(404, "Not Found");
        break;
    case Fault::Stall:
        c.holdUntilClientGoes();
        return;
    case Fault::Close:
        return;
    case Fault::Oversize:
        if (c.sendHead("HTTP/1.1", 200, "OK",
                       {gbkHtml, "Content-Length: " + std::to_string(kOversizeBytes),
                        "Connection: close"}))
            c.sendPadded(page, kOversizeBytes);
        break;
    case Fault::Huge:
        // No length: the end of the body is the end of the connection.
        if (c.sendHead("HTTP/1.1", 200, "OK", {gbkHtml, "Connection: close"}))
            c.sendPadded(page, kHugeBytes);
        break;
    case Fault::StallMid:
        if (c.sendHead(
                "HTTP/1.1", 200, "OK",
                {gbkHtml, "Content-Length: " + std::to_string(page.size()), "Connection: close"}) &&
            c.sendAll(std::string_view(page).substr(0, page.size() / 2)))
            c.holdUntilClientGoes();
        return;
    case Fault::Drip:
        if (c.sendHead(
                "HTTP/1.1", 200, "OK",
                {gbkHtml, "Content-Length: " + std::to_string(page.size()), "Connection: close"})) {
            for (char ch : page) {
                if (!c.sendAll(std::string_view(&ch, 1)) || !c.pause(1000))
                    return;
            }
        }
        break;
    case Fault::Truncated:
        if (c.sendHead("HTTP/1.1", 200, "OK",
                       {gbkHtml, "Content-Length: " + std::to_string(page.size() + 4096),
                        "Connection: close"}))
            c.sendAll(page);
        return; // closing with bytes still owed is the point
    case Fault::RedirectLoop:
        c.sendRedirect(head.target);
        break;
    case Fault::RedirectFtp:
        c.sendRedirect("ftp://127.0.0.1:" + std::to_string(port_) + head.target);
        break;
    case Fault::Garbage:
        c.sendSimple(200, "OK", "text/html; charset=gbk",
                     garbageBytes(kGarbageBytes, static_cast<unsigned>(row)));
        break;
    case Fault::Nul:
        c.sendSimple(200, "OK", "text/html; charset=gbk", pageWithNuls(page));
        break;
    case Fault::MarkersReversed:
        c.sendSimple(200, "OK", "text/html; charset=gbk", pageWithMarkersReversed(page));
        break;
    case Fault::NoStart:
        c.sendSimple(200, "OK", "text/html; charset=gbk", pageWithoutStart(page));
        break;
    case Fault::NoEnd:
        c.sendSimple(200, "OK", "text/html; charset=gbk", pageWithoutEnd(page));
        break;
    }
    c.lingeringClose();
}

// The stream fault, once its packets have gone out.
void StationServer::misbehave(Connection& c, const StreamFault& fault) {
    const char* what = fault.kind == StreamFault::Kind::Drop  ? "stream dropped after "
                       : fault.kind == StreamFault::Kind::Cut ? "stream cut after "
                                                              : "stream stalled after ";
    log(what + std::to_string(fault.afterPackets) + " packets");
    if (fault.kind == StreamFault::Kind::Stall) {
        c.holdUntilClientGoes();
        return;
    }
    if (fault.kind == StreamFault::Kind::Cut) {
        c.lingeringClose();
        return;
    }
    // No lingering: the close that follows resets the connection.
    c.resetOnClose();
}

void StationServer::serveStream(Connection& c, const RequestHead& head, std::string_view path) {
    const std::optional<std::string> title = streamTitleFromPath(path);
    if (!title) {
        c.sendError(404, "Not Found");
        c.lingeringClose();
        return;
    }
    const StreamRequest request = classifyStreamRequest(head);
    log((request.play ? "play " : "describe ") + escapeForLog(*title));

    const std::shared_ptr<const Clip> clip = clips_.clipForTitle(*title);
    if (!clip) {
        c.sendError(404, "Not Found");
        c.lingeringClose();
        return;
    }
    const AsfLayout& layout = clip->layout;
    const std::string clientId = std::to_string(100000 + clientIds_.fetch_add(1));
    if (!c.sendHead("HTTP/1.0", 200, "OK",
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
        if (!c.sendAll(frameChunk(ChunkType::Header, sequence++, flags, piece)))
            return;
    }
    if (request.play) {
        const std::uint64_t firstPacket = request.streamOffset / layout.packetSize;
        if (firstPacket > 0)
            log("play from packet " + std::to_string(firstPacket));
        double factor = config_.paceFactor;
        if (request.speed > 0) {
            factor =
                config_.maxSpeed > 0 ? std::min(request.speed, config_.maxSpeed) : request.speed;
            log("speed " + std::to_string(factor));
        }
        const double rate = layout.bytesPerSecond() * factor;
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
                    if (wait.count() > 0 && !c.pause(static_cast<int>(wait.count())))
                        return;
                }
            }
            const StreamFault& fault = config_.streamFault;
            if (fault.kind != StreamFault::Kind::None && i - firstPacket == fault.afterPackets) {
                misbehave(c, fault);
                return;
            }
            if (!c.sendAll(frameChunk(ChunkType::Data, sequence++, 0, clip->packet(i))))
                return;
        }
        if (!c.sendAll(frameChunk(ChunkType::End, 0, 0, {})))
            return;
    }
    c.lingeringClose();
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
    Connection conn(fd, stopPipe_[0], stopping_, config_.headTimeoutMs);
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
        servePage(conn, row, head);
    } else if (path.substr(0, 4) == "/sp/") {
        serveStream(conn, head, path);
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
