#include "HttpRequest.h"

#include <cstdio>

namespace station {

namespace {

bool isTokenChar(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F)
        return false;
    switch (c) {
    case '(':
    case ')':
    case '<':
    case '>':
    case '@':
    case ',':
    case ';':
    case ':':
    case '\\':
    case '"':
    case '/':
    case '[':
    case ']':
    case '?':
    case '=':
    case '{':
    case '}':
        return false;
    default:
        return true;
    }
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string_view chompCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool parseRequestLine(std::string_view line, RequestHead& head) {
    const std::size_t sp1 = line.find(' ');
    if (sp1 == std::string_view::npos || sp1 == 0)
        return false;
    const std::size_t sp2 = line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || sp2 == sp1 + 1)
        return false;
    const std::string_view method = line.substr(0, sp1);
    const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = line.substr(sp2 + 1);
    for (char c : method) {
        if (!isTokenChar(static_cast<unsigned char>(c)))
            return false;
    }
    for (char c : target) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            return false;
    }
    if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || version[6] != '.' ||
        version[5] < '0' || version[5] > '9' || version[7] < '0' || version[7] > '9')
        return false;
    head.method = method;
    head.target = target;
    head.version = version;
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Length of the valid UTF-8 sequence at s[0], or 0.
std::size_t utf8SequenceLength(std::string_view s) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t len = 0;
    unsigned min = 0;
    unsigned cp = 0;
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < len)
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

ParseResult parseRequestHead(std::string_view bytes, std::size_t maxHead) {
    ParseResult result;
    const std::size_t firstLf = bytes.find('\n');
    const std::string_view firstLine =
        chompCr(bytes.substr(0, firstLf == std::string_view::npos ? bytes.size() : firstLf));

    if (firstLf == std::string_view::npos) {
        if (bytes.size() > kMaxRequestLine || bytes.size() > maxHead) {
            result.status = ParseStatus::TooLarge;
            result.head.requestLine = bytes.substr(0, kMaxRequestLine);
        }
        return result;
    }
    result.head.requestLine = firstLine.substr(0, kMaxRequestLine);
    if (firstLine.size() > kMaxRequestLine) {
        result.status = ParseStatus::TooLarge;
        return result;
    }

    // Find the end of the head before judging anything else, so a slow client is not cut off.
    std::size_t pos = firstLf + 1;
    std::vector<std::string_view> lines;
    bool ended = false;
    while (pos <= bytes.size()) {
        const std::size_t lf = bytes.find('\n', pos);
        if (lf == std::string_view::npos)
            break;
        const std::string_view line = chompCr(bytes.substr(pos, lf - pos));
        pos = lf + 1;
        if (line.empty()) {
            ended = true;
            break;
        }
        lines.push_back(line);
        if (lines.size() > kMaxHeaderCount || pos > maxHead) {
            result.status = ParseStatus::TooLarge;
            return result;
        }
    }
    if (!ended) {
        result.status = bytes.size() > maxHead ? ParseStatus::TooLarge : ParseStatus::Incomplete;
        return result;
    }
    if (pos > maxHead) {
        result.status = ParseStatus::TooLarge;
        return result;
    }

    if (!parseRequestLine(firstLine, result.head)) {
        result.status = ParseStatus::Malformed;
        return result;
    }
    for (std::string_view line : lines) {
        if (line.front() == ' ' || line.front() == '\t') { // obsolete line folding: refuse
            result.status = ParseStatus::Malformed;
            return result;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            result.status = ParseStatus::Malformed;
            return result;
        }
        const std::string_view name = line.substr(0, colon);
        for (char c : name) {
            if (!isTokenChar(static_cast<unsigned char>(c))) {
                result.status = ParseStatus::Malformed;
                return result;
            }
        }
        result.head.headers.emplace_back(std::string(name),
                                         std::string(trim(line.substr(colon + 1))));
    }
    result.status = ParseStatus::Complete;
    result.consumed = pos;
    return result;
}

std::vector<std::string_view> headerValues(const RequestHead& head, std::string_view name) {
    std::vector<std::string_view> out;
    for (const auto& [n, v] : head.headers) {
        if (equalsIgnoreCase(n, name))
            out.emplace_back(v);
    }
    return out;
}

std::string_view targetPath(std::string_view target) {
    const std::size_t cut = target.find_first_of("?#");
    return cut == std::string_view::npos ? target : target.substr(0, cut);
}

std::string percentDecode(std::string_view text, bool* clean) {
    std::string out;
    out.reserve(text.size());
    bool ok = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            const int hi = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
            const int lo = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
            ok = false;
        }
        out += text[i];
    }
    if (clean)
        *clean = ok;
    return out;
}

std::string escapeForLog(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
            ++i;
            continue;
        }
        const std::size_t len = utf8SequenceLength(bytes.substr(i));
        if (len == 0) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
            ++i;
            continue;
        }
        out.append(bytes.substr(i, len));
        i += len;
    }
    return out;
}

} // namespace station
