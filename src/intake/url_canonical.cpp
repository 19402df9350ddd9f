#include "intake/url_canonical.h"

#include <curl/curl.h>

#include <memory>

#include "platform/ascii_text.h"
#include "protocols/curl_global.h"
#include "protocols/url_split.h"

namespace rg {

namespace {

constexpr std::string_view kFtpPrefix = "ftp://";
constexpr std::string_view kAuthorityPrefix = "//";
constexpr std::string_view kDefaultScheme = "http:";
constexpr std::string_view kUnsafeCharacters = " \"<>\\^`{|}";
constexpr std::string_view kWhitespace = " \t\r\n\v\f";
constexpr std::string_view kAuthorityEnd = "/?#";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstHighByte = 0x80;
constexpr unsigned kHighNibbleShift = 4;
constexpr unsigned kNibbleMask = 0x0F;
constexpr long kLargestPort = 65535;
constexpr int kDecimalBase = 10;
// What the HTTP and FTP clients keep of a host.
constexpr std::size_t kHostMax = kClientSplitCapacities.host - 1;

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct TextDeleter {
    void operator()(char* text) const { curl_free(text); }
};

bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_scheme_char(char c) {
    return is_alpha(c) || is_digit(c) || c == '+' || c == '-' || c == '.';
}

bool is_host_char(char c) {
    return is_alpha(c) || is_digit(c) || c == '-' || c == '.' || c == ':';
}

bool has_control_character(std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < kFirstPrintable || byte == kDelete)
            return true;
    }
    return false;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kWhitespace);
    return text.substr(first, last - first + 1);
}

// The length of the scheme in front of the first ':', 0 when the text names none. A colon
// followed by a digit starts a port ("localhost:8080/x"), not a scheme.
std::size_t scheme_length(std::string_view text) {
    if (text.empty() || !is_alpha(text[0]))
        return 0;
    std::size_t i = 1;
    while (i < text.size() && is_scheme_char(text[i]))
        ++i;
    if (i >= text.size() || text[i] != ':')
        return 0;
    if (i + 1 < text.size() && is_digit(text[i + 1]))
        return 0;
    return i;
}

// Percent-encodes what a request line cannot carry, after the authority only: a host with such
// characters is left for libcurl to refuse.
std::string encode_unsafe(std::string_view url, std::size_t scheme_end) {
    std::size_t from = scheme_end + 1;
    if (url.substr(from).starts_with(kAuthorityPrefix))
        from += kAuthorityPrefix.size();
    from = std::min(url.find_first_of(kAuthorityEnd, from), url.size());

    std::string out(url.substr(0, from));
    for (char c : url.substr(from)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= kFirstHighByte || kUnsafeCharacters.find(c) != std::string_view::npos) {
            out += '%';
            out += kHexDigits[byte >> kHighNibbleShift];
            out += kHexDigits[byte & kNibbleMask];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> curl_canonical(const std::string& url) {
    ensure_curl_initialised();
    const std::unique_ptr<CURLU, UrlDeleter> handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_URLENCODE))
        return std::nullopt;
    char* raw = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &raw, 0) != CURLUE_OK || raw == nullptr)
        return std::nullopt;
    const std::unique_ptr<char, TextDeleter> owned(raw);
    return std::string(raw);
}

bool is_plain_port(std::string_view text) {
    long value = 0;
    for (char c : text) {
        if (!is_digit(c))
            return false;
        value = value * kDecimalBase + (c - '0');
        if (value > kLargestPort)
            return false;
    }
    return true;
}

// The host as split_url reads it must be all of the authority, so that a user name, an IPv6
// literal or an underscore cannot make the clients connect somewhere the URL does not name.
bool host_is_whole_authority(std::string_view url) {
    std::size_t pos = url.find(':');
    if (pos == std::string_view::npos)
        return false;
    ++pos;
    if (url.substr(pos).starts_with(kAuthorityPrefix))
        pos += kAuthorityPrefix.size();
    std::size_t end = pos;
    while (end < url.size() && is_host_char(url[end]))
        ++end;
    if (end < url.size() && kAuthorityEnd.find(url[end]) == std::string_view::npos)
        return false;
    const std::string_view authority = url.substr(pos, end - pos);
    const auto colon = authority.find(':');
    if (colon == std::string_view::npos)
        return !authority.empty() && authority.size() <= kHostMax;
    return colon > 0 && colon <= kHostMax && is_plain_port(authority.substr(colon + 1));
}

}  // namespace

std::optional<std::string> canonical_url(std::string_view text) {
    text = trimmed(text);
    if (text.empty() || text.size() > kUrlMax || has_control_character(text))
        return std::nullopt;
    if (text.size() >= kFtpPrefix.size() &&
        equal_ignoring_case(text.substr(0, kFtpPrefix.size()), kFtpPrefix)) {
        return std::string(text);
    }

    std::string url;
    std::size_t scheme_end = scheme_length(text);
    if (scheme_end == 0) {
        url = std::string(kDefaultScheme);
        if (!text.starts_with(kAuthorityPrefix))
            url += kAuthorityPrefix;
        scheme_end = kDefaultScheme.size() - 1;
        url += text;
    } else {
        const std::string scheme = ascii_lowered(text.substr(0, scheme_end));
        if (scheme != "http" && scheme != "https")
            return std::string(text);
        url = std::string(text);
    }

    auto canonical = curl_canonical(encode_unsafe(url, scheme_end));
    if (!canonical || canonical->size() > kCanonicalUrlMax)
        return std::nullopt;
    return canonical;
}

CheckedUrl check_new_url(std::string_view text) {
    CheckedUrl checked;
    auto canonical = canonical_url(text);
    if (!canonical) {
        checked.status = AddStatus::kEncodingFailed;
        return checked;
    }
    const SplitUrl parts = split_url(*canonical, kIntakeSplitCapacities);
    if (parts.scheme != "HTTP" && parts.scheme != "HTTPS" && parts.scheme != "FTP") {
        checked.status = AddStatus::kInvalidProtocol;
        return checked;
    }
    if (parts.host.empty() || !host_is_whole_authority(*canonical)) {
        checked.status = AddStatus::kInvalidHost;
        return checked;
    }
    if (parts.path.empty()) {
        if (canonical->size() >= kUrlMax) {
            checked.status = AddStatus::kEncodingFailed;
            return checked;
        }
        *canonical += '/';
    }
    checked.protocol = parts.scheme == "FTP" ? Protocol::Ftp : Protocol::Http;
    checked.url = std::move(*canonical);
    return checked;
}

}  // namespace rg
