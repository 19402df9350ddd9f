#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rg {

// The wait in milliseconds that a Retry-After value asks for: delta-seconds, or an HTTP-date
// taken relative to `now_s` (seconds since 1970; the answer's own Date when it has one, so that
// a skewed clock does not count). Bounded by kRetryAfterMaxMs; a date in the past is 0.
// Nullopt when the value is neither.
std::optional<std::int32_t> parse_retry_after(std::string_view value, std::int64_t now_s);

}  // namespace rg
