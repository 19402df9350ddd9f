#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rg {

// Where a URL's requests go: scheme ("http", "https" or "ftp"), lower-case host and port (the
// scheme's default when none or 0 is given).
struct UrlOrigin {
    std::string scheme;
    std::string host;
    int port = 0;

    bool operator==(const UrlOrigin&) const = default;
};

struct RequestTarget;

// Nullopt for a URL that none of the clients takes, or whose host or port is not usable.
std::optional<UrlOrigin> url_origin(std::string_view url);
UrlOrigin url_origin(const RequestTarget& target);

// Credentials given for one origin may go to another: the same origin, or the same host moved
// from http on port 80 to https on port 443.
bool credentials_may_go(const UrlOrigin& given_for, const UrlOrigin& target);

// The same for two URLs; false whenever either origin is unknown.
bool credentials_may_move(std::string_view given_for, std::string_view target);

}  // namespace rg
