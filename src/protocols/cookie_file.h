#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

inline constexpr std::string_view kCookieFileName = "cookies.txt";
// Bounds on what is read and sent, whatever the file holds.
inline constexpr std::size_t kCookieFileMaxBytes = 1024 * 1024;
inline constexpr std::size_t kCookieFileMaxCookies = 10000;
inline constexpr std::size_t kCookieHeaderMax = 8192;

// One line of a Netscape-format cookie file (the format curl and browsers export): domain,
// include-subdomains flag, path, secure flag, expiry (seconds since 1970, 0 = session), name,
// value, separated by tabs.
struct Cookie {
    std::string domain;  // lower case, without a leading '.'
    bool include_subdomains = false;
    std::string path;
    bool secure = false;
    std::int64_t expires = 0;
    std::string name;
    std::string value;
};

// The usable cookies of the file's text. Comment lines ('#', except the "#HttpOnly_" prefix that
// curl writes) and malformed lines are skipped, as are cookies whose name or value could not be
// sent as they are (a separator or a control character). At most kCookieFileMaxCookies.
std::vector<Cookie> parse_cookie_file(std::string_view text);

// The value of a "Cookie:" header for a request to `host` and `path` (the path without query):
// the cookies whose domain and path match, secure ones only over https, none expired at `now`,
// longer paths first, as "name=value; name2=value2". Cookies that would make it longer than
// kCookieHeaderMax are left out. Empty when none matches.
std::string cookie_header_value(const std::vector<Cookie>& cookies, std::string_view host,
                                std::string_view path, bool secure, std::int64_t now);

}  // namespace rg
