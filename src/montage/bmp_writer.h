#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "montage/picture.h"

namespace rg {

// Receives the encoded bytes piece by piece; false stops the encoding.
using ByteSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// BITMAPFILEHEADER (14 bytes) and BITMAPINFOHEADER (40 bytes).
inline constexpr std::size_t kBmpFileHeaderSize = 14;
inline constexpr std::size_t kBmpInfoHeaderSize = 40;
inline constexpr std::size_t kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;

// Bytes of one stored row of a 24-bit bitmap: BGR pixels padded to a multiple of 4.
std::size_t bmp_row_size(std::int32_t width);

// Writes the picture as an uncompressed 24-bit Windows bitmap, rows bottom-up. False when the
// picture is not sound or the sink refuses.
bool write_bmp(const Picture& picture, const ByteSink& sink);

// The whole bitmap file in memory; empty when the picture is not sound.
std::vector<std::uint8_t> encode_bmp(const Picture& picture);

}  // namespace rg
