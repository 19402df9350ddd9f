#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "montage/picture.h"
#include "montage/thumbnail.h"

namespace rg {

// One fetched frame: the full picture, its storyboard thumbnail (made once) and where the
// thumbnail sits in its 80 x 60 box.
struct StoryboardEntry {
    Picture picture;
    Picture thumbnail;
    ThumbnailPlacement placement;   // thumbnail size and offset x / offset y in the box
    std::int32_t frame_number = 0;  // 1-based number of the frame in the video
    double time_seconds = 0.0;      // the frame's time in the video, for labels

    std::int32_t offset_x() const { return placement.offset_x; }
    std::int32_t offset_y() const { return placement.offset_y; }
    // Memory held by the two pictures.
    std::size_t bytes() const { return picture.rgb.size() + thumbnail.rgb.size(); }
};

// Makes the entry of a decoded frame with its thumbnail. Nothing when the picture is not sound
// (sides 1 to 16384, one packed RGB buffer) or the thumbnail cannot be made.
std::optional<StoryboardEntry> make_storyboard_entry(Picture picture, std::int32_t frame_number,
                                                     double time_seconds);

}  // namespace rg
