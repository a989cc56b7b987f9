// The station's HTTP server on loopback: listing pages, the advertisement page and MMS-over-HTTP
// streams. One thread per connection.
#pragma once

#include "ClipLibrary.h"
#include "Faults.h"
#include "HttpRequest.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace station {

class Connection;

struct StationConfig {
    std::uint16_t port = 0; // 0 picks a free one
    FaultMap faults;
    StreamFault streamFault;
    std::filesystem::path mediaDir;
    // Receives one line per request (and one per stream title), without a line end. Called from
    // connection threads, one call at a time.
    std::function<void(const std::string&)> log;
    // Called once the socket listens, before any connection is taken.
    std::function<void(std::uint16_t port)> onListening;
    int headTimeoutMs = 30000; // an idle client is dropped after this
    // Stream pacing relative to the clip's own data rate; <= 0 sends as fast as the client reads.
    double paceFactor = 1.5;
    // The most a client that asks for a speed (Pragma: Speed=) is given; <= 0: what it asks.
    double maxSpeed = 0;
};

class StationServer {
  public:
    explicit StationServer(StationConfig config);
    ~StationServer();
    StationServer(const StationServer&) = delete;
    StationServer& operator=(const StationServer&) = delete;

    // Binds 127.0.0.1 and starts accepting. On failure returns false with a reason.
    bool start(std::string* error = nullptr);
    std::uint16_t port() const { return port_; }
    // Ends every connection and joins every thread. Safe to call twice.
    void stop();

  private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void serve(int fd);
    void log(const std::string& line);
    void unregisterFd(int fd);
    void reapWorkers(bool all);
    void servePage(Connection& c, int row, const RequestHead& head);
    void serveStream(Connection& c, const RequestHead& head, std::string_view path);
    // The stream fault, once its packets have gone out.
    void misbehave(Connection& c, const StreamFault& fault);

    StationConfig config_;
    ClipLibrary clips_;
    std::array<std::string, 5> pages_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint32_t> clientIds_{0};
    std::thread acceptThread_;
    std::mutex logMutex_;
    std::mutex connMutex_;
    std::set<int> openFds_;
    std::list<std::unique_ptr<Worker>> workers_;
};

} // namespace station
