#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace rg {

// The Montage's printf texts with unsigned values ("%u" only).
template <typename... Values>
std::string format_text(std::string_view format, Values... values) {
    static_assert((std::is_integral_v<Values> && ...), "only %u values");
    const std::string f(format);
    const int n = std::snprintf(nullptr, 0, f.c_str(), static_cast<unsigned>(values)...);
    if (n <= 0)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    std::snprintf(buffer.data(), buffer.size(), f.c_str(), static_cast<unsigned>(values)...);
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

// A "%u" text with byte counts and offsets of any size: each "%u" takes the next value in full,
// where printf's would cut it at 4 GiB. A "%u" without a value is left as it stands.
std::string format_byte_counts(std::string_view format, std::initializer_list<std::int64_t> values);

// "%s (%s)" and the like: a format with two texts.
std::string format_texts(std::string_view format, std::string_view a, std::string_view b);

// The status prefix followed by the `download amount suffix` for `bytes` received:
// "(%.0f B downloaded)", "(%.2f KB downloaded)" or "(%.2f MB downloaded)".
std::string with_download_amount(std::string_view prefix, std::int64_t bytes);

}  // namespace rg
