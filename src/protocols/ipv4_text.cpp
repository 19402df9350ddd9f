#include "protocols/ipv4_text.h"

#include <array>
#include <cstdint>

namespace rg {

namespace {

constexpr std::size_t kMostParts = 4;
constexpr std::uint64_t kLargestAddress = 0xFFFFFFFF;
constexpr std::uint64_t kLargestByte = 0xFF;
constexpr unsigned kBitsPerByte = 8;
constexpr unsigned kOctalBase = 8;
constexpr unsigned kDecimalBase = 10;
constexpr unsigned kHexBase = 16;
constexpr unsigned kNotADigit = 99;

unsigned digit_value(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + kDecimalBase);
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + kDecimalBase);
    return kNotADigit;
}

// One part as strtoul with base 0 reads it: a leading "0x" takes hexadecimal digits (when one
// follows), a leading "0" octal ones, anything else decimal. The part must start with a digit
// and be followed by a dot or the end. Values beyond 32 bits are refused.
std::optional<std::uint64_t> take_part(std::string_view& text) {
    if (text.empty() || digit_value(text[0]) >= kDecimalBase)
        return std::nullopt;
    unsigned base = kDecimalBase;
    std::size_t i = 0;
    if (text[0] == '0') {
        base = kOctalBase;
        if (text.size() > 2 && (text[1] == 'x' || text[1] == 'X') &&
            digit_value(text[2]) < kHexBase) {
            base = kHexBase;
            i = 2;
        }
    }
    std::uint64_t value = 0;
    for (; i < text.size() && digit_value(text[i]) < base; ++i) {
        value = value * base + digit_value(text[i]);
        if (value > kLargestAddress)
            return std::nullopt;
    }
    if (i < text.size() && text[i] != '.')
        return std::nullopt;
    text.remove_prefix(i);
    return value;
}

}  // namespace

std::optional<std::string> numeric_ipv4_host(std::string_view host) {
    std::array<std::uint64_t, kMostParts> parts{};
    std::size_t count = 0;
    for (;;) {
        if (count == kMostParts)
            return std::nullopt;
        const auto part = take_part(host);
        if (!part)
            return std::nullopt;
        parts[count++] = *part;
        if (host.empty())
            break;
        host.remove_prefix(1);  // the dot
    }
    // Every part but the last is one byte; the last fills the bytes that are left.
    std::uint64_t address = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > kLargestByte)
            return std::nullopt;
        address = (address << kBitsPerByte) | parts[i];
    }
    const unsigned last_bits = static_cast<unsigned>(kMostParts - count + 1) * kBitsPerByte;
    const std::uint64_t last = parts[count - 1];
    if (last >> last_bits != 0)
        return std::nullopt;
    address = (address << last_bits) | last;

    std::string text;
    for (int shift = static_cast<int>((kMostParts - 1) * kBitsPerByte); shift >= 0;
         shift -= static_cast<int>(kBitsPerByte)) {
        if (!text.empty())
            text += '.';
        text += std::to_string((address >> shift) & kLargestByte);
    }
    return text;
}

}  // namespace rg
