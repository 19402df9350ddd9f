#include "protocols/cookie_file.h"
#include "platform/ascii_text.h"

#include <algorithm>
#include <array>
#include <limits>

namespace rg {

namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
constexpr char kFieldSeparator = '\t';
constexpr std::string_view kTrue = "TRUE";
constexpr std::size_t kFieldCount = 7;
// curl writes a cookie with an empty value without the last tab.
constexpr std::size_t kFieldCountWithoutValue = 6;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7f;
constexpr std::string_view kPairSeparator = "; ";

enum Field { kDomain, kSubdomains, kPath, kSecure, kExpires, kName, kValue };

// Text that can stand in a Cookie header as it is: no control characters, and none of the
// separators of the header itself.
bool sendable(std::string_view text, bool is_name) {
    return std::none_of(text.begin(), text.end(), [&](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < kFirstPrintable || u == kDelete || c == ';' ||
               (is_name && (c == '=' || c == ' '));
    });
}

// Expiry: digits, optionally negative; larger values saturate (far future).
bool parse_expiry(std::string_view text, std::int64_t* value) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v >= kLimit ? kLimit : v * 10 + (c - '0');
    }
    *value = negative ? -v : v;
    return true;
}

bool parse_line(std::string_view line, Cookie* cookie) {
    if (line.starts_with(kHttpOnlyPrefix))
        line.remove_prefix(kHttpOnlyPrefix.size());
    else if (line.empty() || line.front() == '#')
        return false;

    std::array<std::string_view, kFieldCount> fields{};
    std::size_t count = 0;
    while (true) {
        const std::size_t tab = line.find(kFieldSeparator);
        if (count == kFieldCount)
            return false;
        fields[count++] = line.substr(0, tab);
        if (tab == std::string_view::npos)
            break;
        line.remove_prefix(tab + 1);
    }
    if (count != kFieldCount && count != kFieldCountWithoutValue)
        return false;

    Cookie c;
    std::string_view domain = fields[kDomain];
    if (domain.starts_with('.')) {
        domain.remove_prefix(1);
        c.include_subdomains = true;
    }
    if (domain.empty() || !sendable(domain, true))
        return false;
    c.domain = ascii_lowered(domain);
    c.include_subdomains = c.include_subdomains || equal_ignoring_case(fields[kSubdomains], kTrue);
    c.path = fields[kPath].empty() ? "/" : std::string(fields[kPath]);
    c.secure = equal_ignoring_case(fields[kSecure], kTrue);
    if (!parse_expiry(fields[kExpires], &c.expires))
        return false;
    if (fields[kName].empty() || !sendable(fields[kName], true) || !sendable(fields[kValue], false))
        return false;
    c.name.assign(fields[kName]);
    c.value.assign(fields[kValue]);
    *cookie = std::move(c);
    return true;
}

bool domain_matches(const Cookie& cookie, std::string_view host) {
    if (host == cookie.domain)
        return true;
    return cookie.include_subdomains && host.size() > cookie.domain.size() &&
           host.ends_with(cookie.domain) && host[host.size() - cookie.domain.size() - 1] == '.';
}

// RFC 6265: the cookie's path is a prefix that ends at a '/' of the request path or at its end.
bool path_matches(std::string_view cookie_path, std::string_view path) {
    if (!path.starts_with(cookie_path))
        return false;
    return path.size() == cookie_path.size() || cookie_path.ends_with('/') ||
           path[cookie_path.size()] == '/';
}

}  // namespace

std::vector<Cookie> parse_cookie_file(std::string_view text) {
    std::vector<Cookie> cookies;
    while (!text.empty() && cookies.size() < kCookieFileMaxCookies) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        Cookie cookie;
        if (parse_line(line, &cookie))
            cookies.push_back(std::move(cookie));
    }
    return cookies;
}

std::string cookie_header_value(const std::vector<Cookie>& cookies, std::string_view host,
                                std::string_view path, bool secure, std::int64_t now) {
    const std::string lower_host = ascii_lowered(host);
    if (path.empty())
        path = "/";
    std::vector<const Cookie*> matching;
    for (const Cookie& c : cookies) {
        if ((c.secure && !secure) || (c.expires != 0 && c.expires <= now))
            continue;
        if (domain_matches(c, lower_host) && path_matches(c.path, path))
            matching.push_back(&c);
    }
    std::stable_sort(matching.begin(), matching.end(), [](const Cookie* a, const Cookie* b) {
        return a->path.size() > b->path.size();
    });
    std::string value;
    for (const Cookie* c : matching) {
        const std::size_t separator = value.empty() ? 0 : kPairSeparator.size();
        if (value.size() + separator + c->name.size() + 1 + c->value.size() > kCookieHeaderMax)
            continue;
        if (separator)
            value.append(kPairSeparator);
        value.append(c->name).append("=").append(c->value);
    }
    return value;
}

}  // namespace rg
