// Advertisement pages that attack the viewer's web view, for its tests. Served under
// /ad/hostile/<name>; each page tells what it saw by requesting /ad/beacon?<name>-<what>, which the
// station logs like every request line, so a test reads the page's findings from the log.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace station {

inline constexpr std::string_view kHostileAdPrefix = "/ad/hostile/";
inline constexpr std::string_view kBeaconPath = "/ad/beacon";

// The name that the station answers with a redirect to the same address, again and again.
inline constexpr std::string_view kRedirectLoopAd = "redirect-loop";

struct HostileAd {
    std::string_view name;
    std::string_view attack; // what the page tries, in a few words
};

// Every hostile page, the redirect loop included.
const std::vector<HostileAd>& hostileAds();

// The page of that name (UTF-8 HTML without external resources); nullopt for an unknown name and
// for the redirect loop, which is no page.
std::optional<std::string> hostileAdPage(std::string_view name);

} // namespace station
