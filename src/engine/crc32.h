#pragma once

#include <cstdint>
#include <span>

namespace rg {

// CRC-32 as zlib and PNG compute it (reflected polynomial 0xEDB88320). `seed` continues an
// earlier result over the bytes that follow it.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t seed = 0);

}  // namespace rg
