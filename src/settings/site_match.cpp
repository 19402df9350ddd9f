#include "settings/site_match.h"

#include "platform/ascii_text.h"
#include "protocols/ipv4_text.h"

namespace rg {

namespace {

constexpr std::string_view kSchemeEnd = "://";
constexpr std::string_view kAuthorityEnd = "/?#";
constexpr std::string_view kPathBoundary = "/?#";
constexpr char kPathSeparator = '/';
constexpr char kPortStart = ':';
constexpr char kUserInfoEnd = '@';
constexpr int kDecimalBase = 10;
constexpr int kLargestPort = 65535;
constexpr int kDefaultHttpsPort = 443;

std::optional<int> parse_port(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * kDecimalBase + (c - '0');
        if (value > kLargestPort)
            return std::nullopt;
    }
    return value;
}

std::optional<int> default_port(std::string_view scheme) {
    if (scheme == "HTTP")
        return kDefaultHttpPort;
    if (scheme == "HTTPS")
        return kDefaultHttpsPort;
    if (scheme == "FTP")
        return kDefaultFtpPort;
    return std::nullopt;
}

// The URL's port as its client uses it: the written one, or the scheme's default for none or 0.
std::optional<int> effective_port(const SplitUrl& url) {
    if (url.port && *url.port != 0)
        return url.port;
    return default_port(url.scheme);
}

// `path` as split_url gives it: empty, or a query without the "/" its request would carry.
bool path_within(std::string_view prefix, std::string_view split_path) {
    if (prefix.empty())
        return true;
    std::string path(split_path);
    if (path.empty() || path.front() != kPathSeparator)
        path.insert(path.begin(), kPathSeparator);
    if (!path.starts_with(prefix))
        return false;
    return prefix.back() == kPathSeparator || path.size() == prefix.size() ||
           kPathBoundary.find(path[prefix.size()]) != std::string_view::npos;
}

}  // namespace

SiteRule parse_site_rule(std::string_view site) {
    SiteRule rule;
    std::string_view rest = site;
    const std::size_t scheme_end = site.find(kSchemeEnd);
    if (scheme_end != std::string_view::npos) {
        rule.scheme = ascii_uppered(site.substr(0, scheme_end));
        rest = site.substr(scheme_end + kSchemeEnd.size());
    }
    const std::size_t authority_end = std::min(rest.find_first_of(kAuthorityEnd), rest.size());
    const std::string_view authority = rest.substr(0, authority_end);
    rule.path = std::string(rest.substr(authority_end));
    if (authority.find(kUserInfoEnd) != std::string_view::npos)
        return rule;

    const std::size_t colon = authority.find(kPortStart);
    const std::string_view host = authority.substr(0, colon);
    if (host.empty())
        return rule;
    if (colon != std::string_view::npos) {
        rule.port = parse_port(authority.substr(colon + 1));
        if (!rule.port)
            return rule;
    } else if (!rule.scheme.empty()) {
        rule.port = default_port(rule.scheme);
    }
    const auto address = numeric_ipv4_host(host);
    rule.host = address ? *address : ascii_uppered(host);
    rule.usable = true;
    return rule;
}

bool site_matches(const SiteRule& rule, const SplitUrl& url) {
    if (!rule.usable || url.truncated || url.host.empty() || url.host != rule.host)
        return false;
    if (!rule.scheme.empty() && url.scheme != rule.scheme)
        return false;
    if (rule.port && effective_port(url) != rule.port)
        return false;
    return path_within(rule.path, url.path);
}

}  // namespace rg
