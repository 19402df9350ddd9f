#include "protocols/http_url.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "platform/ascii_text.h"
#include "protocols/curl_global.h"
#include "protocols/http_headers.h"
#include "protocols/url_origin.h"
#include "protocols/url_split.h"

namespace rg {

namespace {

// Spaces and bytes above 127 are encoded as browsers do; other schemes are parsed so that they
// can be refused by name rather than as garbage.
constexpr unsigned kParseFlags = CURLU_URLENCODE | CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME;

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

struct TextDeleter {
    void operator()(char* text) const { curl_free(text); }
};

UrlHandle new_url() {
    ensure_curl_initialised();
    return UrlHandle(curl_url());
}

std::optional<std::string> get_part(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK || raw == nullptr)
        return std::nullopt;
    const std::unique_ptr<char, TextDeleter> owned(raw);
    return std::string(raw);
}

bool is_scheme_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// What libcurl reads as host and port must be what split_url reads, or the request (built from
// the split) would go to another address than the one reported.
bool split_agrees(CURLU* url, std::string_view text) {
    if (get_part(url, CURLUPART_USER) || get_part(url, CURLUPART_PASSWORD))
        return false;
    const auto host = get_part(url, CURLUPART_HOST);
    if (!host)
        return false;
    const SplitUrl split = split_url(text);
    if (split.truncated || ascii_lowered(split.host) != ascii_lowered(*host))
        return false;
    const auto port = get_part(url, CURLUPART_PORT);
    if (!port)
        return !split.port.has_value();
    return split.port.has_value() && std::to_string(*split.port) == *port;
}

}  // namespace

UrlProblem make_request_target(std::string_view url, RequestTarget* target) {
    const SplitUrl client = split_url(url, kClientSplitCapacities);
    const SplitUrl whole = split_url(url);
    if (whole.truncated || client.host != whole.host)
        return UrlProblem::kTooLong;

    RequestTarget t;
    if (whole.scheme == "HTTP") {
        t.port = kDefaultHttpPort;
    } else if (whole.scheme == "HTTPS") {
        t.secure = true;
        t.port = kDefaultHttpsPort;
    } else if (whole.scheme == "FTP") {
        return UrlProblem::kFtp;
    } else {
        return UrlProblem::kUnsupportedScheme;
    }
    if (whole.host.empty())
        return UrlProblem::kInvalid;
    // Port 0 stands for the scheme's default, as an unset port does.
    if (whole.port && *whole.port != 0) {
        if (*whole.port < 0 || *whole.port > kLargestPort)
            return UrlProblem::kInvalid;
        t.port = *whole.port;
    }
    t.host = ascii_lowered(whole.host);

    std::string path = whole.path;
    if (path.empty() || (path.front() != '/' && path.front() != '?'))
        path.insert(0, "/");
    // The default port is left out, so that addresses resolved against this one (and reported
    // to the owner as the new URL) read as the server wrote them.
    const int default_port = t.secure ? kDefaultHttpsPort : kDefaultHttpPort;
    const std::string text = (t.secure ? "https://" : "http://") + t.host +
                             (t.port == default_port ? "" : ":" + std::to_string(t.port)) + path;

    const UrlHandle parsed = new_url();
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, text.c_str(), kParseFlags) ||
        curl_url_set(parsed.get(), CURLUPART_FRAGMENT, nullptr, 0))
        return UrlProblem::kInvalid;
    auto full = get_part(parsed.get(), CURLUPART_URL);
    auto cookie_path = get_part(parsed.get(), CURLUPART_PATH);
    if (!full || !cookie_path)
        return UrlProblem::kInvalid;
    if (full->size() > kLocationMax)
        return UrlProblem::kTooLong;
    t.url = std::move(*full);
    t.path = cookie_path->empty() ? "/" : std::move(*cookie_path);
    *target = std::move(t);
    return UrlProblem::kNone;
}

std::optional<std::string> resolve_location(std::string_view base, std::string_view location) {
    if (location.empty() || location.size() > kLocationMax || !is_safe_header_value(location))
        return std::nullopt;
    const UrlHandle url = new_url();
    if (!url)
        return std::nullopt;
    const std::string base_text(base.substr(0, base.find('\0')));
    const std::string location_text(location);
    if (curl_url_set(url.get(), CURLUPART_URL, base_text.c_str(), kParseFlags) ||
        curl_url_set(url.get(), CURLUPART_URL, location_text.c_str(), kParseFlags))
        return std::nullopt;
    auto resolved = get_part(url.get(), CURLUPART_URL);
    if (!resolved || resolved->size() > kLocationMax || !is_safe_header_value(*resolved) ||
        !split_agrees(url.get(), *resolved))
        return std::nullopt;
    return resolved;
}

std::string url_scheme(std::string_view url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    const std::string_view scheme = url.substr(0, colon);
    if (!std::all_of(scheme.begin(), scheme.end(), is_scheme_char))
        return {};
    return ascii_lowered(scheme);
}

bool credentials_may_follow(const RequestTarget& given_for, const RequestTarget& target) {
    return credentials_may_go(url_origin(given_for), url_origin(target));
}

}  // namespace rg
