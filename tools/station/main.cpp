// velmora-station: serves the demo listing pages, the advertisement page and the demo streams on
// 127.0.0.1, and can be told to misbehave per category page for the viewer's tests.
#include "HostileAds.h"
#include "StationServer.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <pthread.h>
#include <signal.h>
#include <string>
#include <string_view>
#include <system_error>

namespace {

void usage(std::FILE* to) {
    std::fputs(
        "usage: velmora-station [--port N] [--media DIR] [--fault ROW=MODE]... [--stream-fault F]\n"
        "                       [--max-speed X]\n"
        "  --port N         listen on 127.0.0.1:N (0, the default, picks a free port)\n"
        "  --media DIR      demo clips (default: ../media beside the executable)\n"
        "  --fault ROW=MODE make category page ROW (1..5) misbehave; MODE is one of\n"
        "                   404 stall oversize stall-mid drip truncated huge redirect-loop\n"
        "                   redirect-ftp garbage nul markers-reversed no-start no-end close\n"
        "  --stream-fault F every played stream misbehaves after N data packets; F is\n"
        "                   drop=N (the connection is reset), cut=N (it is closed without the\n"
        "                   stream's end) or stall=N (nothing more is sent)\n"
        "  --max-speed X    a client asking for a stream faster than the clip's own rate\n"
        "                   (Pragma: Speed=, as one keeping the programme asks) gets at most X\n"
        "                   times that rate (default: what it asks)\n"
        "Hostile advertisement pages for the viewer's tests: /ad/hostile/NAME, reporting to\n"
        "/ad/beacon?WHAT (logged like every request). NAME is one of\n",
        to);
    for (const station::HostileAd& ad : station::hostileAds())
        std::fprintf(to, "  %-16s %s\n", std::string(ad.name).c_str(),
                     std::string(ad.attack).c_str());
}

std::filesystem::path defaultMediaDir() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "media";
    return exe.parent_path().parent_path() / "media";
}

} // namespace

int main(int argc, char** argv) {
    station::StationConfig config;
    config.mediaDir = defaultMediaDir();

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--port" && hasValue) {
            const std::string_view v = argv[++i];
            unsigned port = 0;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), port);
            if (ec != std::errc() || end != v.data() + v.size() || port > 65535) {
                std::fprintf(stderr, "velmora-station: bad port '%s'\n", argv[i]);
                return 2;
            }
            config.port = static_cast<std::uint16_t>(port);
        } else if (arg == "--max-speed" && hasValue) {
            const std::string_view v = argv[++i];
            double speed = 0;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), speed);
            if (ec != std::errc() || end != v.data() + v.size() || !(speed >= 1)) {
                std::fprintf(stderr, "velmora-station: bad speed '%s'\n", argv[i]);
                return 2;
            }
            config.maxSpeed = speed;
        } else if (arg == "--media" && hasValue) {
            config.mediaDir = argv[++i];
        } else if (arg == "--fault" && hasValue) {
            if (!station::addFaultOption(argv[++i], config.faults)) {
                std::fprintf(stderr, "velmora-station: bad fault '%s'\n", argv[i]);
                usage(stderr);
                return 2;
            }
        } else if (arg == "--stream-fault" && hasValue) {
            if (!station::parseStreamFault(argv[++i], config.streamFault)) {
                std::fprintf(stderr, "velmora-station: bad stream fault '%s'\n", argv[i]);
                usage(stderr);
                return 2;
            }
        } else {
            std::fprintf(stderr, "velmora-station: unknown or incomplete option '%s'\n", argv[i]);
            usage(stderr);
            return 2;
        }
    }

    // Signals are taken by sigwait below; every thread started later inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    config.log = [](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };

    config.onListening = [](std::uint16_t port) {
        std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(port));
        std::fflush(stdout);
    };

    station::StationServer server(std::move(config));
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "velmora-station: %s\n", error.c_str());
        return 1;
    }

    int sig = 0;
    while (sigwait(&stopSignals, &sig) != 0) {
    }
    server.stop();
    return 0;
}
