#include "protocols/url_split.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/ascii_text.h"
#include "protocols/ipv4_text.h"

namespace rg {

namespace {

constexpr std::string_view kDefaultScheme = "HTTP";
constexpr std::string_view kAuthorityPrefix = "//";
constexpr std::string_view kAuthorityEnd = "/?#";
constexpr char kUserInfoEnd = '@';
constexpr char kPasswordStart = ':';
constexpr char kPercent = '%';
constexpr int kDecimalBase = 10;
constexpr unsigned kHexBase = 16;
constexpr std::size_t kEscapeLength = 3;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int hex_value(char c) {
    if (is_digit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + kDecimalBase;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + kDecimalBase;
    return -1;
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

// %XX escapes become their bytes; a '%' without two hex digits stays as it is.
std::string percent_decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kPercent && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
            hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * kHexBase + hex_value(text[i + 2]));
            i += kEscapeLength - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Authority {
    std::size_t start = 0;  // first character after the scheme and "//"
    std::size_t host = 0;   // first character of the host: after the user info's '@'
    bool has_user_info = false;
};

// Where split_url finds the authority of `url` (already cut at its first NUL): after the first
// ':' and an optional "//", up to the path. The user info runs to the last '@' in it.
Authority find_authority(std::string_view url) {
    Authority a;
    const std::size_t colon = url.find(':');
    if (colon != std::string_view::npos)
        a.start = colon + 1;
    if (url.substr(a.start).starts_with(kAuthorityPrefix))
        a.start += kAuthorityPrefix.size();
    const std::size_t end = std::min(url.find_first_of(kAuthorityEnd, a.start), url.size());
    const std::size_t at = url.substr(a.start, end - a.start).rfind(kUserInfoEnd);
    a.has_user_info = at != std::string_view::npos;
    a.host = a.has_user_info ? a.start + at + 1 : a.start;
    return a;
}

}  // namespace

SplitUrl split_url(std::string_view url, const SplitCapacities& capacities) {
    url = url.substr(0, url.find('\0'));
    const std::string upper = upper_copy(url);
    const std::string_view work = upper;

    SplitUrl result;
    const std::size_t colon = work.find(':');
    if (colon != std::string_view::npos) {
        result.scheme = fit(work.substr(0, colon), capacities.scheme, result.truncated);
    } else {
        result.scheme = fit(kDefaultScheme, capacities.scheme, result.truncated);
    }

    // The host follows the user info: a user name is never taken for the server.
    const Authority authority = find_authority(url);
    result.has_user_info = authority.has_user_info;
    const std::size_t pos = authority.host;
    std::size_t host_end = pos;
    while (host_end < work.size() && is_host_char(work[host_end]))
        ++host_end;
    const std::string_view host_part = work.substr(pos, host_end - pos);

    // The port is read from the whole host part rather than from the capacity-cut copy, so that
    // a cut cannot turn ":8080" into ":80".
    const std::size_t port_colon = host_part.find(':');
    const std::string_view host_text = host_part.substr(0, port_colon);
    // A host written as a number is the address the connection goes to, in its dotted form.
    const auto address = numeric_ipv4_host(host_text);
    result.host =
        fit(address ? std::string_view(*address) : host_text, capacities.host, result.truncated);
    if (port_colon != std::string_view::npos)
        result.port = parse_port(host_part.substr(port_colon + 1));

    result.path = fit(url.substr(host_end), capacities.path, result.truncated);
    return result;
}

UrlWithoutUserInfo take_user_info(std::string_view url) {
    UrlWithoutUserInfo out;
    const std::string_view text = url.substr(0, url.find('\0'));
    const Authority authority = find_authority(text);
    if (!authority.has_user_info) {
        out.url = std::string(text);
        return out;
    }
    const std::string_view info =
        text.substr(authority.start, authority.host - 1 - authority.start);
    const std::size_t colon = info.find(kPasswordStart);
    UrlUserInfo user_info;
    user_info.user_name = percent_decoded(info.substr(0, colon));
    if (colon != std::string_view::npos)
        user_info.password = percent_decoded(info.substr(colon + 1));
    out.user_info = std::move(user_info);
    // Without a host after the '@' the URL names no server; it is left whole rather than let a
    // "//" after the '@' start an authority of its own.
    const bool host_follows = authority.host < text.size() &&
                              kAuthorityEnd.find(text[authority.host]) == std::string_view::npos;
    out.url = host_follows
                  ? std::string(text.substr(0, authority.start)).append(text.substr(authority.host))
                  : std::string(text);
    return out;
}

}  // namespace rg
