#include "protocols/url_origin.h"

#include "platform/ascii_text.h"
#include "protocols/http_url.h"
#include "protocols/url_split.h"

namespace rg {

namespace {

constexpr std::string_view kHttp = "http";
constexpr std::string_view kHttps = "https";
constexpr std::string_view kFtp = "ftp";

}  // namespace

std::optional<UrlOrigin> url_origin(std::string_view url) {
    RequestTarget target;
    const UrlProblem problem = make_request_target(url, &target);
    if (problem == UrlProblem::kNone)
        return url_origin(target);
    if (problem != UrlProblem::kFtp)
        return std::nullopt;
    const SplitUrl split = split_url(url, kClientSplitCapacities);
    if (split.truncated || split.host.empty())
        return std::nullopt;
    int port = kDefaultFtpPort;
    if (split.port && *split.port != 0) {
        if (*split.port < 0 || *split.port > kLargestPort)
            return std::nullopt;
        port = *split.port;
    }
    return UrlOrigin{std::string(kFtp), ascii_lowered(split.host), port};
}

UrlOrigin url_origin(const RequestTarget& target) {
    return UrlOrigin{std::string(target.secure ? kHttps : kHttp), target.host, target.port};
}

bool credentials_may_go(const UrlOrigin& from, const UrlOrigin& to) {
    if (from.host != to.host)
        return false;
    if (from == to)
        return true;
    return from.scheme == kHttp && from.port == kDefaultHttpPort && to.scheme == kHttps &&
           to.port == kDefaultHttpsPort;
}

bool credentials_may_move(std::string_view given_for, std::string_view target) {
    const std::optional<UrlOrigin> from = url_origin(given_for);
    const std::optional<UrlOrigin> to = url_origin(target);
    return from && to && credentials_may_go(*from, *to);
}

}  // namespace rg
