#pragma once

#include <cstdint>
#include <optional>

#include "montage/picture.h"

namespace rg {

// The storyboard's box: every thumbnail is placed in one of these.
inline constexpr std::int32_t kThumbnailBoxWidth = 80;
inline constexpr std::int32_t kThumbnailBoxHeight = 60;

// A thumbnail's size and its margins inside its box (negative when it is larger than the box).
struct ThumbnailPlacement {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t offset_x = 0;
    std::int32_t offset_y = 0;
};

// The storyboard's fit of a width x height picture into the 80 x 60 box: a picture larger than
// the box in either side is scaled by its longer side (so 100 x 80 becomes 80 x 64, taller than
// the box), a smaller one keeps its size. Never enlarged, never below 1 x 1.
ThumbnailPlacement storyboard_thumbnail_placement(std::int32_t width, std::int32_t height);

// The largest size of the picture's shape within box_width x box_height, never enlarged and
// never below 1 x 1, centred in the box.
ThumbnailPlacement fit_within(std::int32_t width, std::int32_t height, std::int32_t box_width,
                              std::int32_t box_height);

// A copy of `source` scaled to width x height with an area-averaging filter. Nothing when the
// source is not a sound picture, the target size is outside the picture limits or the scaler
// fails.
std::optional<Picture> scale_picture(const Picture& source, std::int32_t width,
                                     std::int32_t height);

}  // namespace rg
