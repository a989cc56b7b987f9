#include "Connection.h"

#include "StationPages.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>

namespace station {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kSendPiece = 64 * 1024;
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

Connection::Wait Connection::waitReadable(int timeoutMs) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
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

bool Connection::pause(int ms) {
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

void Connection::holdUntilClientGoes() {
    while (waitReadable(-1) == Wait::Ready) {
        if (!discardInput())
            return;
    }
}

bool Connection::sendAll(std::string_view data) {
    while (!data.empty()) {
        if (stopping_)
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

bool Connection::readHead(ParseResult& result) {
    static constexpr std::string_view kGet = "GET ";
    std::string buf;
    char chunk[4096];
    for (;;) {
        if (waitReadable(headTimeoutMs_) != Wait::Ready)
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

bool Connection::sendHead(std::string_view version, int status, std::string_view reason,
                          const std::vector<std::string>& headers) {
    std::string h = statusLine(version, status, reason);
    h += "Server: velmora-station\r\n";
    for (const std::string& line : headers)
        h += line + "\r\n";
    h += "\r\n";
    return sendAll(h);
}

void Connection::sendSimple(int status, std::string_view reason, std::string_view contentType,
                            std::string_view body) {
    if (sendHead("HTTP/1.1", status, reason,
                 {"Content-Type: " + std::string(contentType),
                  "Content-Length: " + std::to_string(body.size()), "Connection: close"}))
        sendAll(body);
}

void Connection::sendError(int status, std::string_view reason) {
    sendSimple(status, reason, "text/html; charset=utf-8", buildErrorPage(status, reason));
}

void Connection::sendRedirect(const std::string& location) {
    const std::string body = buildErrorPage(302, "Found");
    if (sendHead("HTTP/1.1", 302, "Found",
                 {"Location: " + location, "Content-Type: text/html; charset=utf-8",
                  "Content-Length: " + std::to_string(body.size()), "Connection: close"}))
        sendAll(body);
}

void Connection::sendPadded(std::string_view first, std::size_t total) {
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

void Connection::lingeringClose() {
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

bool Connection::discardInput() {
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

void Connection::resetOnClose() {
    const linger reset{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

} // namespace station
