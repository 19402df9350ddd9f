#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rg {

inline constexpr int kDefaultHttpsPort = 443;
inline constexpr int kLargestPort = 65535;

enum class UrlProblem {
    kNone,
    kUnsupportedScheme,  // neither HTTP nor HTTPS (nor FTP)
    kFtp,                // an FTP URL, which the HTTP client does not serve
    kInvalid,            // no host, a bad port, or characters libcurl refuses
    kTooLong,            // the host or the whole URL does not fit the client's fields
};

// Where one HTTP request goes, taken from a URL with split_url.
struct RequestTarget {
    std::string url;   // handed to libcurl: lower-case scheme and host, port, encoded path
    std::string host;  // lower case
    int port = 0;
    bool secure = false;  // https
    std::string path;     // the path without query, "/" at least; what cookies are matched with
};

// Splits `url` as every client does (scheme and host with the client's capacities, port 80 or
// 443 when none or 0 is given). The path is kept whole up to the URL field's length: a request
// for a cut path would fetch some other resource.
UrlProblem make_request_target(std::string_view url, RequestTarget* target);

// The absolute URL a Location value points to, resolved against the URL that answered. Nullopt
// when it cannot be resolved, is longer than the URL field, carries a user name, or would be
// taken apart by split_url differently than it reads (a host split_url stops early in), so that
// the request never goes somewhere other than the address reported.
std::optional<std::string> resolve_location(std::string_view base, std::string_view location);

// The scheme of an absolute URL in lower case ("" when none).
std::string url_scheme(std::string_view url);

// Credentials go only where they were given for: the same host and port and scheme, or the
// same host moved from http on port 80 to https on port 443. Never from https to http.
bool credentials_may_follow(const RequestTarget& given_for, const RequestTarget& target);

}  // namespace rg
