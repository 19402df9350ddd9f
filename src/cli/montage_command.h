#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rg {

// rlg montage URL [-d DIR] [-n FRAMES] [-o SHEET] [--any-format] [-v]: opens the video of the
// URL's download, prints its media information, runs the AutoMontage with live progress, closes
// the media, saves the list and writes the frames as a contact sheet; then one line
// "frame <number> <h:mm:ss.mmm>" per frame and the bytes and requests fetched. `args` follow the
// command's name. 0 on success, 1 when the open or the AutoMontage failed, 2 for a usage error,
// 130 after Ctrl-C.
int run_montage_command(const std::string& data_dir, std::span<const std::string_view> args);

// rlg frame URL (--number N | --time T) -o FILE [-d DIR] [--any-format] [-v]: opens the video
// the same way, saves that one frame at full size as JPEG or BMP, closes and saves the list.
int run_frame_command(const std::string& data_dir, std::span<const std::string_view> args);

}  // namespace rg
