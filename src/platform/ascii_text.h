#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace rg {

// Case folding of ASCII letters only: protocol tokens, host names and INI keys compare this way
// whatever the locale, and bytes above 127 stay as they are.
inline char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ascii_lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = ascii_lower(c);
    return out;
}

inline char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string ascii_uppered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = ascii_upper(c);
    return out;
}

// True when the text holds a C0 control character or DEL: such bytes never belong in a URL, a
// header value or a credential.
inline bool has_control_character(std::string_view text) {
    constexpr unsigned char kFirstPrintable = 0x20;
    constexpr unsigned char kDelete = 0x7F;
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < kFirstPrintable || byte == kDelete;
    });
}

inline bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return ascii_lower(x) == ascii_lower(y);
           });
}

// The position of `needle` in `text` ignoring case; npos when absent.
inline std::size_t find_ignoring_case(std::string_view text, std::string_view needle) {
    const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                                [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
    return it == text.end() && !needle.empty() ? std::string_view::npos
                                               : static_cast<std::size_t>(it - text.begin());
}

}  // namespace rg
