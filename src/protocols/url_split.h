#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

inline constexpr int kDefaultHttpPort = 80;
inline constexpr int kDefaultFtpPort = 21;

// Capacities count the terminating NUL of the fixed fields they stand for, so a capacity of N
// keeps at most N - 1 characters (and 0 keeps nothing).
inline constexpr std::size_t kUrlFieldCapacity = 4096;
inline constexpr std::size_t kHostCapacity = 1023;

struct SplitCapacities {
    std::size_t scheme = kUrlFieldCapacity;
    std::size_t host = kHostCapacity;
    std::size_t path = kUrlFieldCapacity;
};

// What the HTTP and FTP clients keep of a URL.
inline constexpr SplitCapacities kClientSplitCapacities{19, 199, 599};
// What adding a download keeps of a URL.
inline constexpr SplitCapacities kIntakeSplitCapacities{12, 256, 1024};

struct SplitUrl {
    std::string scheme;  // upper case; "HTTP" when the URL names none
    std::string host;    // upper case, without the port
    std::string path;    // original case, query and fragment included; empty when none
    // Set only when the host part carries ':'; callers fall back to their protocol's default.
    std::optional<int> port;
    // Some field was cut to its capacity; callers that must not act on a shortened host or path
    // refuse the URL.
    bool truncated = false;
    // The authority carries a user name (and maybe a password) in front of an '@'.
    bool has_user_info = false;
};

// Takes a URL apart the way every client and the intake expect: the scheme is the text before
// the first ':' anywhere in the URL, the host runs over letters, digits, '-', '.' and ':' after
// an optional "//" and any user info (up to the last '@' before the first '/', '?' or '#'), and
// the path is everything after the host. A host written as a number (numeric_ipv4_host) comes
// out in its dotted form. The URL ends at its first NUL, as a C string would.
SplitUrl split_url(std::string_view url, const SplitCapacities& capacities = {});

struct UrlUserInfo {
    std::string user_name;  // percent-decoded: may hold any byte
    std::string password;   // empty when the user info has no ':'
};

struct UrlWithoutUserInfo {
    std::string url;                       // the URL without "user:password@"
    std::optional<UrlUserInfo> user_info;  // none when the URL carries none
};

// Takes the user info out of the authority split_url finds, as curl and wget read it: the user
// name up to the first ':', the password after it, both percent-decoded. When no host follows
// the '@', the URL is left as it is (and names no server).
UrlWithoutUserInfo take_user_info(std::string_view url);

}  // namespace rg
