#include "protocols/retry_after.h"

#include <algorithm>

#include "protocols/connection.h"
#include "protocols/http_date.h"

namespace rg {

namespace {

constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kMaxWaitSeconds = kRetryAfterMaxMs / kMsPerSecond;

std::string_view trim_spaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::int32_t bounded_ms(std::int64_t seconds) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(seconds, 0, kMaxWaitSeconds) *
                                     kMsPerSecond);
}

}  // namespace

std::optional<std::int32_t> parse_retry_after(std::string_view value, std::int64_t now_s) {
    value = trim_spaces(value);
    if (value.empty())
        return std::nullopt;
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // Digits past the bound saturate, so any number of them is safe.
        std::int64_t seconds = 0;
        for (char c : value) {
            seconds = seconds * 10 + (c - '0');
            if (seconds > kMaxWaitSeconds)
                return kRetryAfterMaxMs;
        }
        return bounded_ms(seconds);
    }
    const std::optional<std::int64_t> at = parse_http_date(value);
    if (!at)
        return std::nullopt;
    // Compared before subtracting, so that no reference time can overflow.
    if (*at <= now_s)
        return 0;
    if (*at - kMaxWaitSeconds > now_s)
        return kRetryAfterMaxMs;
    return bounded_ms(*at - now_s);
}

}  // namespace rg
