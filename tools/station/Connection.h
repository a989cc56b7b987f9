// One accepted socket of the station: reading the request head and writing answers. All waits
// also watch the server's stop pipe and notice a client that went away, so no thread outlives
// the server's stop for long.
#pragma once

#include "HttpRequest.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace station {

class Connection {
  public:
    // `stopFd` becomes readable and `stopping` true when the server stops.
    Connection(int fd, int stopFd, const std::atomic<bool>& stopping, int headTimeoutMs)
        : fd_(fd), stopFd_(stopFd), stopping_(stopping), headTimeoutMs_(headTimeoutMs) {}

    enum class Wait { Ready, Timeout, Gone };

    // Waits until fd is readable, the time runs out (-1: never), the client left or we stop.
    Wait waitReadable(int timeoutMs);

    // Sleeps for ms while reading and discarding anything the client sends. False when the
    // client went away or the server stops.
    bool pause(int ms);

    // Keeps the socket open, answering nothing, until the client closes it or we stop.
    void holdUntilClientGoes();

    bool sendAll(std::string_view data);

    // Reads the request head. Closes at once (returns false) when the first bytes are not "GET ",
    // which is how a client probing for another protocol on this port learns to fall back.
    bool readHead(ParseResult& result);

    bool sendHead(std::string_view version, int status, std::string_view reason,
                  const std::vector<std::string>& headers);

    void sendSimple(int status, std::string_view reason, std::string_view contentType,
                    std::string_view body);

    void sendError(int status, std::string_view reason);

    void sendRedirect(const std::string& location);

    // Streams `total` bytes: `first`, then filler.
    void sendPadded(std::string_view first, std::size_t total);

    // Half-closes and waits a little for the client to finish reading, so a close never turns
    // into a reset that could cut our answer short on the client's side.
    void lingeringClose();

    // Makes the close that follows a reset rather than an orderly end.
    void resetOnClose();

  private:
    bool discardInput();

    int fd_;
    int stopFd_;
    const std::atomic<bool>& stopping_;
    int headTimeoutMs_;
};

} // namespace station
