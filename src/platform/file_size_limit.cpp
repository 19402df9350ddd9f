#include "platform/file_size_limit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <mutex>

#include "platform/local_file.h"

namespace rg {

namespace {

// FILESIZEBITS counts the sign bit: N bits hold sizes up to 2^(N-1) - 1.
constexpr long kSignBits = 1;
constexpr long kBitsPastLargestFile = 63;  // 2^62 = kMaxFileSize needs 63 bits and a sign

std::int64_t file_system_limit(const std::string& folder) {
    const long bits = ::pathconf(folder.c_str(), _PC_FILESIZEBITS);
    if (bits <= kSignBits || bits >= kBitsPastLargestFile)
        return kMaxFileSize;
    return (std::int64_t{1} << (bits - kSignBits)) - 1;
}

std::int64_t process_limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= static_cast<rlim_t>(kMaxFileSize)) {
        return kMaxFileSize;
    }
    return static_cast<std::int64_t>(limit.rlim_cur);
}

}  // namespace

std::int64_t largest_file_size(const std::string& folder) {
    return std::min(file_system_limit(folder), process_limit());
}

void report_file_size_limit_as_error() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

}  // namespace rg
