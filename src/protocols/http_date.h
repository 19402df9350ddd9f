#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rg {

// Seconds since 1970-01-01 00:00:00 UTC of an HTTP-date in any of the three forms a recipient
// must accept: "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT" and
// "Sun Nov  6 08:49:37 1994". The day name is not checked against the date. Nullopt for anything
// else, and for dates before 1970 or after 9999.
std::optional<std::int64_t> parse_http_date(std::string_view text);

}  // namespace rg
