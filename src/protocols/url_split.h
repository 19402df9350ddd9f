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
};

// Takes a URL apart the way every client and the intake expect: the scheme is the text before
// the first ':' anywhere in the URL, the host runs over letters, digits, '-', '.' and ':' after
// an optional "//", and the path is everything after the host. The URL ends at its first NUL,
// as a C string would. A user name in front of an at-sign comes out as the host: credentials in
// URLs are not supported.
SplitUrl split_url(std::string_view url, const SplitCapacities& capacities = {});

}  // namespace rg
