#pragma once

#include <cstdint>
#include <string_view>

#include "montage/media_file.h"

namespace rg {

// Longest frame entry text that is read; the rest is ignored.
inline constexpr std::size_t kFrameEntryTextLimit = 28;

// Frames per second, rate / scale; 0 when the header names no rate.
double frame_rate(const MediaHeader& header);

// The 0-based frame index of a time typed as "h:m:s", "m:s" or "s" (seconds may have a fraction;
// the time counts in whole seconds), rounded up: ceil(frame rate x seconds). -1 when the text
// does not parse or the seconds are negative. Times past the 32-bit range give INT32_MAX.
std::int64_t time_to_frame(std::string_view text, double frame_rate);

// The 0-based index of a 1-based frame number typed into the entry: an unsigned decimal number
// between optional spaces. An empty or non-numeric entry, or one beyond 32 bits, reads as 0 and
// so gives -1.
std::int64_t frame_number_to_index(std::string_view text);

// The index that is fetched for a typed index: one before the start or at or past the end gives
// the last frame.
std::int64_t clamp_frame_index(std::int64_t index, std::uint32_t frame_count);

}  // namespace rg
