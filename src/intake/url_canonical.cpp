#include "intake/url_canonical.h"

#include <curl/curl.h>

#include <memory>

#include "platform/ascii_text.h"
#include "protocols/curl_global.h"
#include "protocols/ipv4_text.h"

namespace rg {

namespace {

constexpr std::string_view kFtpPrefix = "ftp://";
constexpr std::string_view kAuthorityPrefix = "//";
constexpr std::string_view kDefaultScheme = "http:";
constexpr std::string_view kUnsafeCharacters = " \"<>\\^`{|}";
constexpr std::string_view kWhitespace = " \t\r\n\v\f";
constexpr std::string_view kAuthorityEnd = "/?#";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned char kFirstHighByte = 0x80;
constexpr unsigned kHighNibbleShift = 4;
constexpr unsigned kNibbleMask = 0x0F;
constexpr long kLargestPort = 65535;
constexpr int kDecimalBase = 10;
// What the HTTP and FTP clients keep of a host.
constexpr std::size_t kHostMax = kClientSplitCapacities.host - 1;
// Passes of the checks over their own result before it must come out unchanged.
constexpr int kMostCheckRounds = 3;

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

// Where the host of a URL without user info is written: after the scheme's ':' and "//", up
// to the first character split_url does not take into a host.
struct HostSpan {
    std::size_t start = 0;
    std::size_t end = 0;  // of the host and its port
};

std::optional<HostSpan> host_span(std::string_view url) {
    std::size_t pos = url.find(':');
    if (pos == std::string_view::npos)
        return std::nullopt;
    ++pos;
    if (url.substr(pos).starts_with(kAuthorityPrefix))
        pos += kAuthorityPrefix.size();
    std::size_t end = pos;
    while (end < url.size() && is_host_char(url[end]))
        ++end;
    return HostSpan{pos, end};
}

// The host as split_url reads it must be all of the authority, written as split_url gives it,
// so that a user name, an IPv6 literal, an underscore or a number in another notation cannot
// make the clients connect somewhere the URL does not show.
bool host_is_whole_authority(std::string_view url, const SplitUrl& parts) {
    const auto span = host_span(url);
    if (!span)
        return false;
    if (span->end < url.size() && kAuthorityEnd.find(url[span->end]) == std::string_view::npos)
        return false;
    const std::string_view authority = url.substr(span->start, span->end - span->start);
    const auto colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    if (host.empty() || host.size() > kHostMax || !equal_ignoring_case(host, parts.host))
        return false;
    return colon == std::string_view::npos || is_plain_port(authority.substr(colon + 1));
}

// A host written as a number in any notation the resolver takes is rewritten in its dotted
// form, the address the connection goes to.
void write_numeric_host_dotted(std::string& url) {
    const auto span = host_span(url);
    if (!span)
        return;
    const std::string_view authority =
        std::string_view(url).substr(span->start, span->end - span->start);
    const std::size_t host_length = std::min(authority.find(':'), authority.size());
    const auto dotted = numeric_ipv4_host(authority.substr(0, host_length));
    if (dotted)
        url.replace(span->start, host_length, *dotted);
}

struct CanonicalUrl {
    std::string url;
    std::optional<UrlUserInfo> user_info;
};

// The canonical form of the text with the user info taken out of it. A URL starting with
// "ftp://" (any case), and one whose scheme is neither HTTP nor HTTPS, is taken unchanged but
// for its user info (the other schemes keep theirs, for the scheme check to refuse). HTTP and
// HTTPS URLs, and text without a scheme (taken as HTTP), are parsed by libcurl: the scheme is
// lowered, dot segments are resolved, an empty path becomes "/", a numeric host takes its
// dotted form, and spaces, bytes above 127 and the characters "<>\^`{|} are percent-encoded
// after the host. Nothing is decoded. Whitespace around the text is dropped. nullopt for text
// with control characters, text libcurl refuses, or a result longer than its limit.
std::optional<CanonicalUrl> canonical_url(std::string_view text) {
    text = trimmed(text);
    if (text.empty() || text.size() > kUrlMax || has_control_character(text))
        return std::nullopt;
    if (text.size() >= kFtpPrefix.size() &&
        equal_ignoring_case(text.substr(0, kFtpPrefix.size()), kFtpPrefix)) {
        UrlWithoutUserInfo taken = take_user_info(text);
        return CanonicalUrl{std::move(taken.url), std::move(taken.user_info)};
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
            return CanonicalUrl{std::string(text), std::nullopt};
        url = std::string(text);
    }

    UrlWithoutUserInfo taken = take_user_info(url);
    auto canonical = curl_canonical(encode_unsafe(taken.url, scheme_end));
    if (!canonical || canonical->size() > kCanonicalUrlMax)
        return std::nullopt;
    return CanonicalUrl{std::move(*canonical), std::move(taken.user_info)};
}

CheckedUrl refused(AddStatus status) {
    CheckedUrl checked;
    checked.status = status;
    return checked;
}

// One pass of the checks. Its result need not pass them unchanged: libcurl decodes a host's
// escapes after it has read the host as a number or not.
CheckedUrl check_once(std::string_view text) {
    auto canonical = canonical_url(text);
    if (!canonical)
        return refused(AddStatus::kEncodingFailed);
    std::string& url = canonical->url;
    const SplitUrl scheme_parts = split_url(url, kIntakeSplitCapacities);
    if (scheme_parts.scheme != "HTTP" && scheme_parts.scheme != "HTTPS" &&
        scheme_parts.scheme != "FTP") {
        return refused(AddStatus::kInvalidProtocol);
    }
    write_numeric_host_dotted(url);
    const SplitUrl parts = split_url(url, kIntakeSplitCapacities);
    if (parts.host.empty() || parts.has_user_info || !host_is_whole_authority(url, parts))
        return refused(AddStatus::kInvalidHost);
    if (parts.path.empty()) {
        if (url.size() >= kUrlMax)
            return refused(AddStatus::kEncodingFailed);
        url += '/';
    }
    CheckedUrl checked;
    checked.protocol = parts.scheme == "FTP" ? Protocol::Ftp : Protocol::Http;
    checked.url = std::move(url);
    checked.user_info = std::move(canonical->user_info);
    return checked;
}

}  // namespace

CheckedUrl check_new_url(std::string_view text) {
    CheckedUrl checked = check_once(text);
    if (checked.status != AddStatus::kAdded)
        return checked;
    // The stored form must pass the checks unchanged, or what the list shows would not be what
    // a later check (or libcurl) makes of it.
    for (int round = 0; round < kMostCheckRounds; ++round) {
        const CheckedUrl again = check_once(checked.url);
        if (again.status != AddStatus::kAdded)
            return refused(again.status);
        if (again.user_info)
            return refused(AddStatus::kInvalidHost);
        if (again.url == checked.url)
            return checked;
        checked.url = again.url;
        checked.protocol = again.protocol;
    }
    return refused(AddStatus::kEncodingFailed);
}

bool same_url(std::string_view a, std::string_view b) {
    const auto case_free_length = [](std::string_view url) {
        std::size_t from = url.find(':');
        if (from == std::string_view::npos)
            return std::size_t{0};
        ++from;
        if (url.substr(from).starts_with(kAuthorityPrefix))
            from += kAuthorityPrefix.size();
        return std::min(url.find_first_of(kAuthorityEnd, from), url.size());
    };
    const std::size_t length = case_free_length(a);
    return length == case_free_length(b) &&
           equal_ignoring_case(a.substr(0, length), b.substr(0, length)) &&
           a.substr(length) == b.substr(length);
}

}  // namespace rg
