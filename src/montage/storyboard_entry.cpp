#include "montage/storyboard_entry.h"

#include <utility>

#include "montage/picture_limits.h"

namespace rg {

std::optional<StoryboardEntry> make_storyboard_entry(Picture picture, std::int32_t frame_number,
                                                     double time_seconds) {
    if (!picture_is_sound(picture))
        return std::nullopt;
    const ThumbnailPlacement placement =
        storyboard_thumbnail_placement(picture.width, picture.height);
    std::optional<Picture> thumbnail = scale_picture(picture, placement.width, placement.height);
    if (!thumbnail)
        return std::nullopt;
    StoryboardEntry entry;
    entry.picture = std::move(picture);
    entry.thumbnail = std::move(*thumbnail);
    entry.placement = placement;
    entry.frame_number = frame_number;
    entry.time_seconds = time_seconds;
    return entry;
}

}  // namespace rg
