// Matches arbitrary URLs against arbitrary remembered sites (the two separated by \x01): a match
// always means the URL's host is the site's, whatever the site text holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/site_match.h"

namespace {

constexpr char kSeparator = '\x01';

void check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t separator = input.find(kSeparator);
    if (separator == std::string_view::npos)
        return 0;
    const std::string_view site = input.substr(0, separator);
    const std::string_view url = input.substr(separator + 1);

    const rg::SiteRule rule = rg::parse_site_rule(site);
    const rg::SplitUrl parts = rg::split_url(url);
    if (!rg::site_matches(rule, parts))
        return 0;
    check(rule.usable);
    check(!parts.host.empty() && parts.host == rule.host);
    // A site is a host, never text found in the URL's path or query.
    check(site.find("://") != std::string_view::npos || site.find('@') == std::string_view::npos);
    if (!rule.scheme.empty())
        check(parts.scheme == rule.scheme);
    return 0;
}
