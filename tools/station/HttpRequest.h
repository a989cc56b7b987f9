// Request-head parsing and the text helpers around it. Everything here takes untrusted bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace station {

constexpr std::size_t kMaxRequestHead = 64 * 1024;
constexpr std::size_t kMaxRequestLine = 8 * 1024;
constexpr std::size_t kMaxHeaderCount = 100;

struct RequestHead {
    std::string requestLine; // without the line ending
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // in order, values trimmed
};

enum class ParseStatus {
    Incomplete, // need more bytes
    Complete,
    Malformed,
    TooLarge,
};

struct ParseResult {
    ParseStatus status = ParseStatus::Incomplete;
    RequestHead head;         // filled when Complete; requestLine also when Malformed/TooLarge
    std::size_t consumed = 0; // bytes of the head including the blank line, when Complete
};

// Parses the head of one request from the bytes received so far. Lines may end in CRLF or a bare
// LF; the head ends at the first empty line.
ParseResult parseRequestHead(std::string_view bytes, std::size_t maxHead = kMaxRequestHead);

// Header names compare case-insensitively.
std::vector<std::string_view> headerValues(const RequestHead& head, std::string_view name);

// The path part of a request target: no query, no fragment.
std::string_view targetPath(std::string_view target);

// %XX decoding. Malformed escapes stay as they are; clean (if given) says whether there were any.
std::string percentDecode(std::string_view text, bool* clean = nullptr);

// Printable form of arbitrary bytes for a one-line log: valid UTF-8 passes, control bytes and
// bytes that are not UTF-8 become \xNN.
std::string escapeForLog(std::string_view bytes);

} // namespace station
