#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocols/url_split.h"

namespace rg {

// What a remembered site text names. A text with "://" is a URL prefix: scheme, host, port (the
// scheme's default when none is written) and a path that a URL's path must begin with, up to a
// path boundary. Any other text is a host, optionally with ":port" and a path; the program
// stores the upper-cased host of a URL, which matches that host on every port and path.
struct SiteRule {
    bool usable = false;  // false: the text names no host (empty, user info, a bad port)
    std::string scheme;   // upper case; empty for a host text: any scheme
    std::string host;     // upper case; a numeric host in its dotted form
    std::optional<int> port;
    std::string path;  // empty: any path
};

SiteRule parse_site_rule(std::string_view site);

// Whether a URL, split by split_url, lies within the site. The host must be equal (ignoring
// case): a site is never found inside another host's name or in a path or query.
bool site_matches(const SiteRule& rule, const SplitUrl& url);

}  // namespace rg
