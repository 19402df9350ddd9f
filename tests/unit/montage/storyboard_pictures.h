#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "montage/picture.h"
#include "montage/picture_limits.h"

namespace rg::test {

// A picture filled with one colour.
inline Picture solid_picture(std::int32_t width, std::int32_t height, std::uint8_t r,
                             std::uint8_t g, std::uint8_t b) {
    Picture picture = make_picture(width, height);
    for (std::size_t i = 0; i < picture.rgb.size(); i += 3) {
        picture.rgb[i] = r;
        picture.rgb[i + 1] = g;
        picture.rgb[i + 2] = b;
    }
    return picture;
}

// A smooth picture whose every pixel differs from its neighbours: red follows x, green y, blue
// both.
inline Picture gradient_picture(std::int32_t width, std::int32_t height) {
    Picture picture = make_picture(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = picture.rgb.data() + picture.stride() * y + x * 3;
            p[0] = static_cast<std::uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = static_cast<std::uint8_t>((x + y) * 255 / (width + height));
        }
    }
    return picture;
}

inline const std::uint8_t* pixel_at(const Picture& picture, std::int32_t x, std::int32_t y) {
    return picture.rgb.data() + picture.stride() * y + x * 3;
}

struct DecodedJpeg {
    Picture picture;
    int subsampling = -1;
};

// Decodes JPEG bytes to RGB; nothing when they are not a JPEG.
inline std::optional<DecodedJpeg> decode_jpeg(std::string_view bytes) {
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr)
        return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    std::optional<DecodedJpeg> result;
    if (tjDecompressHeader3(handle, data, bytes.size(), &width, &height, &subsampling,
                            &colourspace) == 0) {
        DecodedJpeg decoded{make_picture(width, height), subsampling};
        if (!decoded.picture.empty() &&
            tjDecompress2(handle, data, bytes.size(), decoded.picture.rgb.data(), width, 0, height,
                          TJPF_RGB, 0) == 0) {
            result = std::move(decoded);
        }
    }
    tjDestroy(handle);
    return result;
}

// Little-endian fields of a file read back.
inline std::uint32_t le16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8;
}
inline std::uint32_t le32(std::string_view bytes, std::size_t at) {
    return le16(bytes, at) | le16(bytes, at + 2) << 16;
}

}  // namespace rg::test
