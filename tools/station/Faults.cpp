#include "Faults.h"

#include "StationPages.h"

#include <array>
#include <charconv>
#include <random>
#include <utility>

namespace station {

namespace {

constexpr std::array<std::pair<std::string_view, Fault>, 15> kModes{{
    {"404", Fault::NotFound},
    {"stall", Fault::Stall},
    {"oversize", Fault::Oversize},
    {"stall-mid", Fault::StallMid},
    {"drip", Fault::Drip},
    {"truncated", Fault::Truncated},
    {"huge", Fault::Huge},
    {"redirect-loop", Fault::RedirectLoop},
    {"redirect-ftp", Fault::RedirectFtp},
    {"garbage", Fault::Garbage},
    {"nul", Fault::Nul},
    {"markers-reversed", Fault::MarkersReversed},
    {"no-start", Fault::NoStart},
    {"no-end", Fault::NoEnd},
    {"close", Fault::Close},
}};

} // namespace

std::optional<Fault> parseFaultMode(std::string_view mode) {
    for (const auto& [name, fault] : kModes) {
        if (name == mode)
            return fault;
    }
    return std::nullopt;
}

std::string_view faultName(Fault f) {
    for (const auto& [name, fault] : kModes) {
        if (fault == f)
            return name;
    }
    return "?";
}

bool addFaultOption(std::string_view option, FaultMap& faults) {
    const std::size_t eq = option.find('=');
    if (eq == std::string_view::npos)
        return false;
    int row = 0;
    const std::string_view rowText = option.substr(0, eq);
    const auto [end, ec] = std::from_chars(rowText.data(), rowText.data() + rowText.size(), row);
    if (ec != std::errc() || end != rowText.data() + rowText.size() || row < 1 ||
        row > kCategoryRows)
        return false;
    const std::optional<Fault> fault = parseFaultMode(option.substr(eq + 1));
    if (!fault)
        return false;
    faults[row] = *fault;
    return true;
}

bool parseStreamFault(std::string_view option, StreamFault& fault) {
    const std::size_t eq = option.find('=');
    if (eq == std::string_view::npos)
        return false;
    const std::string_view mode = option.substr(0, eq);
    StreamFault::Kind kind = StreamFault::Kind::None;
    if (mode == "drop")
        kind = StreamFault::Kind::Drop;
    else if (mode == "cut")
        kind = StreamFault::Kind::Cut;
    else if (mode == "stall")
        kind = StreamFault::Kind::Stall;
    else
        return false;
    const std::string_view count = option.substr(eq + 1);
    std::uint64_t packets = 0;
    const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), packets);
    if (count.empty() || ec != std::errc() || end != count.data() + count.size())
        return false;
    fault = {kind, packets};
    return true;
}

std::string pageWithNuls(const std::string& page) {
    // NULs go between entries and after the section's opening, never inside a title or link, so
    // a byte-clean reader still cuts the same entries while a C-string reader loses the section.
    const std::size_t start = page.find(kContentStart);
    const std::size_t end = page.find(kContentEnd);
    if (start == std::string::npos || end == std::string::npos || end < start)
        return page;
    const std::size_t from = start + kContentStart.size();
    std::string out = page.substr(0, from);
    out += '\0';
    std::size_t pos = from;
    for (;;) {
        const std::size_t li = page.find("</li>\n", pos);
        if (li == std::string::npos || li >= end)
            break;
        const std::size_t next = li + 6;
        out.append(page, pos, next - pos);
        out += '\0';
        pos = next;
    }
    out.append(page, pos, std::string::npos);
    return out;
}

std::string pageWithMarkersReversed(const std::string& page) {
    const std::size_t start = page.find(kContentStart);
    const std::size_t end = page.find(kContentEnd);
    if (start == std::string::npos || end == std::string::npos || end < start)
        return page;
    std::string out = page.substr(0, start);
    out += kContentEnd;
    out.append(page, start + kContentStart.size(), end - start - kContentStart.size());
    out += kContentStart;
    out.append(page, end + kContentEnd.size(), std::string::npos);
    return out;
}

namespace {
std::string without(const std::string& page, std::string_view marker) {
    std::string out = page;
    const std::size_t at = out.find(marker);
    if (at != std::string::npos)
        out.erase(at, marker.size());
    return out;
}
} // namespace

std::string pageWithoutStart(const std::string& page) {
    return without(page, kContentStart);
}
std::string pageWithoutEnd(const std::string& page) {
    return without(page, kContentEnd);
}

std::string garbageBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(gen() & 0xFF);
    return out;
}

} // namespace station
