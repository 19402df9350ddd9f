#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/fetch_stats.h"
#include "montage/contact_sheet.h"
#include "montage/storyboard_entry.h"

namespace rg {

// A time in the video as "h:mm:ss.mmm", rounded to the millisecond (negative or not a number
// reads as 0).
std::string video_time_text(double seconds);

// "frame <1-based number> <h:mm:ss.mmm>": one fetched frame.
std::string frame_line(const StoryboardEntry& entry);

// "fetched <bytes> bytes in <requests> requests".
std::string fetched_line(const FetchStats& stats);

// A sheet of `count` thumbnails: five columns, more for many frames, so that it stays within the
// picture limits.
ContactSheetOptions sheet_options(std::int32_t count);

// "<folder>/<file name>.montage.jpg".
std::string default_sheet_path(std::string_view folder, std::string_view file_name);

}  // namespace rg
