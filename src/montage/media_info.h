#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "montage/media_file.h"

namespace rg {

// Longest codec description shown, in bytes.
inline constexpr std::size_t kCodecNameLimit = 255;

// Hours, minutes and seconds of a video's length; hours only count once there are 60 minutes.
struct MediaLength {
    std::uint32_t hours = 0;
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;
    std::uint32_t total_seconds = 0;
};

// frame_count / frame rate in whole seconds; 0 when the rate is unknown.
MediaLength media_length(const MediaHeader& header);

// The six lines of the media info list, in order: dimensions, FPS, length, frame count, codec,
// FourCC.
std::vector<std::string> media_info_lines(const MediaHeader& header, CodecStatus codec_status,
                                          std::string_view codec_name);

}  // namespace rg
