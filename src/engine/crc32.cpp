#include "engine/crc32.h"

#include <array>

namespace rg {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;
constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;
constexpr int kBitsPerByte = 8;
constexpr std::size_t kTableSize = 256;
constexpr std::uint32_t kLowByte = 0xFFu;

constexpr std::array<std::uint32_t, kTableSize> make_table() {
    std::array<std::uint32_t, kTableSize> table{};
    for (std::uint32_t n = 0; n < kTableSize; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < kBitsPerByte; ++k)
            c = (c & 1u) != 0 ? kPolynomial ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, kTableSize> kTable = make_table();

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t seed) {
    std::uint32_t c = seed ^ kAllOnes;
    for (const std::uint8_t b : bytes)
        c = kTable[(c ^ b) & kLowByte] ^ (c >> kBitsPerByte);
    return c ^ kAllOnes;
}

}  // namespace rg
