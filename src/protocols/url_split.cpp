#include "protocols/url_split.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace rg {

namespace {

constexpr std::string_view kDefaultScheme = "HTTP";
constexpr std::string_view kAuthorityPrefix = "//";
constexpr int kDecimalBase = 10;

// ASCII only: the working copy must keep the URL's length and byte positions, and bytes above
// 127 are never part of a scheme keyword or a host.
char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_host_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || is_digit(c) || c == '-' ||
           c == '.' || c == ':';
}

std::string upper_copy(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), ascii_upper);
    return out;
}

// Keeps what a NUL-terminated field of `capacity` bytes would hold.
std::string fit(std::string_view text, std::size_t capacity, bool& truncated) {
    const std::size_t room = capacity == 0 ? 0 : capacity - 1;
    if (text.size() > room) {
        truncated = true;
        text = text.substr(0, room);
    }
    return std::string(text);
}

// atoi: an optional sign, then decimal digits up to the first other character; 0 without
// digits. Saturates where atoi would overflow, so a run of digits cannot wrap into a small port.
int parse_port(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // One past INT_MAX so that INT_MIN stays reachable.
    constexpr std::int64_t kMagnitudeLimit =
        static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        magnitude = std::min(magnitude * kDecimalBase + (text[i] - '0'), kMagnitudeLimit);
    }
    if (negative)
        return static_cast<int>(-magnitude);
    return static_cast<int>(std::min<std::int64_t>(magnitude, std::numeric_limits<int>::max()));
}

}  // namespace

SplitUrl split_url(std::string_view url, const SplitCapacities& capacities) {
    url = url.substr(0, url.find('\0'));
    const std::string upper = upper_copy(url);
    const std::string_view work = upper;

    SplitUrl result;
    std::size_t pos = 0;
    const std::size_t colon = work.find(':');
    if (colon != std::string_view::npos) {
        result.scheme = fit(work.substr(0, colon), capacities.scheme, result.truncated);
        pos = colon + 1;
    } else {
        result.scheme = fit(kDefaultScheme, capacities.scheme, result.truncated);
    }

    if (work.substr(pos).starts_with(kAuthorityPrefix))
        pos += kAuthorityPrefix.size();

    std::size_t host_end = pos;
    while (host_end < work.size() && is_host_char(work[host_end]))
        ++host_end;
    const std::string_view host_part = work.substr(pos, host_end - pos);

    // The port is read from the whole host part rather than from the capacity-cut copy, so that
    // a cut cannot turn ":8080" into ":80".
    const std::size_t port_colon = host_part.find(':');
    result.host = fit(host_part.substr(0, port_colon), capacities.host, result.truncated);
    if (port_colon != std::string_view::npos)
        result.port = parse_port(host_part.substr(port_colon + 1));

    result.path = fit(url.substr(host_end), capacities.path, result.truncated);
    return result;
}

}  // namespace rg
