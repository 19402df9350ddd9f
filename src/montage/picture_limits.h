#pragma once

#include <cstddef>
#include <cstdint>

#include "montage/picture.h"

namespace rg {

// The largest picture side the Montage handles; a full picture is then at most 768 MiB.
inline constexpr std::int32_t kMaxPictureSide = 16384;
inline constexpr std::size_t kRgbBytesPerPixel = 3;

inline bool picture_side_ok(std::int32_t side) {
    return side >= 1 && side <= kMaxPictureSide;
}

// Bytes of an RGB picture of that size; the sides are bounded, so the product fits.
inline std::size_t rgb_size(std::int32_t width, std::int32_t height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kRgbBytesPerPixel;
}

// Sides within the limits and exactly one tightly packed RGB buffer of pixels.
inline bool picture_is_sound(const Picture& picture) {
    return picture_side_ok(picture.width) && picture_side_ok(picture.height) &&
           picture.rgb.size() == rgb_size(picture.width, picture.height);
}

// A black picture of that size; empty when the size is outside the limits.
inline Picture make_picture(std::int32_t width, std::int32_t height) {
    Picture picture;
    if (!picture_side_ok(width) || !picture_side_ok(height))
        return picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.assign(rgb_size(width, height), 0);
    return picture;
}

}  // namespace rg
