// Misbehaviours a listing page can be made to show, for the viewer's robustness tests.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace station {

enum class Fault {
    NotFound,        // 404
    Stall,           // read the request, never answer
    Oversize,        // 17 MiB body with Content-Length
    StallMid,        // headers and half the page, then silence
    Drip,            // one byte per second
    Truncated,       // Content-Length larger than what is sent, then close
    Huge,            // 40 MiB body without Content-Length, ended by closing
    RedirectLoop,    // 302 to itself
    RedirectFtp,     // 302 to an ftp:// address
    Garbage,         // 200 with random binary bytes
    Nul,             // NUL bytes between the entries of the content section
    MarkersReversed, // end marker before start marker
    NoStart,         // start marker missing
    NoEnd,           // end marker missing
    Close,           // read the request, close without answering
};

using FaultMap = std::map<int, Fault>; // row 1..5 -> fault

// What every programme stream can be made to do once it has sent a number of data packets: drop
// (the connection is reset, as when a server goes away; what the client had not read yet may be
// lost with it), cut (the stream ends there, closed without its end chunk, so the client has
// every packet sent) or stall (it stays open, nothing more comes). Descriptions are left alone;
// only played streams misbehave.
struct StreamFault {
    enum class Kind { None, Drop, Cut, Stall };
    Kind kind = Kind::None;
    std::uint64_t afterPackets = 0;
};

// Parses "drop=PACKETS", "cut=PACKETS" or "stall=PACKETS".
bool parseStreamFault(std::string_view option, StreamFault& fault);

std::optional<Fault> parseFaultMode(std::string_view mode);
std::string_view faultName(Fault f);

// Parses "ROW=MODE" and adds it to faults (a later option for the same row wins).
bool addFaultOption(std::string_view option, FaultMap& faults);

constexpr std::size_t kOversizeBytes = 17u * 1024 * 1024 + 512;
constexpr std::size_t kHugeBytes = 40u * 1024 * 1024;

// The faults that change only the page bytes. Pure, for tests; page is a normal category page.
std::string pageWithNuls(const std::string& page);
std::string pageWithMarkersReversed(const std::string& page);
std::string pageWithoutStart(const std::string& page);
std::string pageWithoutEnd(const std::string& page);
std::string garbageBytes(std::size_t size, unsigned seed);

} // namespace station
