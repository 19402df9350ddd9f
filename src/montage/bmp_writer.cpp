#include "montage/bmp_writer.h"

#include <array>

#include "montage/picture_limits.h"

namespace rg {

namespace {

constexpr std::size_t kRowAlignment = 4;
constexpr std::uint16_t kBmpSignature = 0x4D42;  // "BM" read as a little-endian word
constexpr std::uint16_t kPlanes = 1;
constexpr std::uint16_t kBitsPerPixel = 24;
constexpr std::uint32_t kCompressionNone = 0;  // BI_RGB
// 96 dots per inch, the usual screen resolution, in pixels per metre.
constexpr std::int32_t kPixelsPerMetre = 3780;

class HeaderBytes {
  public:
    void u16(std::uint16_t value) {
        put(static_cast<std::uint8_t>(value));
        put(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            put(static_cast<std::uint8_t>(value >> shift));
    }
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    const std::array<std::uint8_t, kBmpHeadersSize>& bytes() const { return bytes_; }
    std::size_t size() const { return size_; }

  private:
    void put(std::uint8_t byte) { bytes_[size_++] = byte; }

    std::array<std::uint8_t, kBmpHeadersSize> bytes_{};
    std::size_t size_ = 0;
};

}  // namespace

std::size_t bmp_row_size(std::int32_t width) {
    const std::size_t packed = static_cast<std::size_t>(width) * kRgbBytesPerPixel;
    return (packed + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

bool write_bmp(const Picture& picture, const ByteSink& sink) {
    if (!picture_is_sound(picture))
        return false;
    // Within the picture limits the whole file stays below 4 GiB.
    const std::size_t row_size = bmp_row_size(picture.width);
    const std::size_t image_size = row_size * static_cast<std::size_t>(picture.height);
    const std::size_t file_size = kBmpHeadersSize + image_size;

    HeaderBytes header;
    header.u16(kBmpSignature);
    header.u32(static_cast<std::uint32_t>(file_size));
    header.u16(0);                                            // reserved
    header.u16(0);                                            // reserved
    header.u32(static_cast<std::uint32_t>(kBmpHeadersSize));  // offset of the pixels
    header.u32(static_cast<std::uint32_t>(kBmpInfoHeaderSize));
    header.i32(picture.width);
    header.i32(picture.height);  // positive: bottom-up rows
    header.u16(kPlanes);
    header.u16(kBitsPerPixel);
    header.u32(kCompressionNone);
    header.u32(static_cast<std::uint32_t>(image_size));
    header.i32(kPixelsPerMetre);
    header.i32(kPixelsPerMetre);
    header.u32(0);  // colours used: none, no palette
    header.u32(0);  // important colours: all
    if (!sink(header.bytes().data(), header.size()))
        return false;

    std::vector<std::uint8_t> row(row_size, 0);
    for (std::int32_t y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* rgb =
            picture.rgb.data() + picture.stride() * static_cast<std::size_t>(y);
        for (std::int32_t x = 0; x < picture.width; ++x, rgb += kRgbBytesPerPixel) {
            std::uint8_t* bgr = row.data() + static_cast<std::size_t>(x) * kRgbBytesPerPixel;
            bgr[0] = rgb[2];
            bgr[1] = rgb[1];
            bgr[2] = rgb[0];
        }
        if (!sink(row.data(), row.size()))
            return false;
    }
    return true;
}

std::vector<std::uint8_t> encode_bmp(const Picture& picture) {
    std::vector<std::uint8_t> out;
    const bool written = write_bmp(picture, [&out](const std::uint8_t* data, std::size_t size) {
        out.insert(out.end(), data, data + size);
        return true;
    });
    if (!written)
        out.clear();
    return out;
}

}  // namespace rg
