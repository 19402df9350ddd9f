#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace rg {

// What both Montage commands take.
struct MontageTarget {
    std::string url;
    std::string folder = ".";  // -d: where the download's file is (or goes)
    bool any_format = false;   // --any-format: open a file that does not end in ".avi"
    bool show_spans = false;   // -v: a line for every span fetched
};

// rlg montage URL [-d DIR] [-n FRAMES] [-o SHEET] [--any-format] [-v]
struct MontageOptions {
    MontageTarget target;
    std::optional<std::int32_t> frame_count;  // -n: "AutoFrameCount" for this run
    std::string sheet_path;                   // -o; empty: the default name
};

// rlg frame URL (--number N | --time T) -o FILE [-d DIR] [--any-format] [-v]
struct FrameOptions {
    MontageTarget target;
    std::optional<std::uint32_t> number;  // 1-based
    std::optional<std::string> time;      // "h:m:s", "m:s" or "s"
    std::string output_path;
};

// The arguments after the command's name; the usage error's text when they do not fit.
std::variant<MontageOptions, std::string> parse_montage_args(
    std::span<const std::string_view> args);
std::variant<FrameOptions, std::string> parse_frame_args(std::span<const std::string_view> args);

// A picture file name the tool writes: ".jpg", ".jpeg" or ".bmp" in any case.
bool is_picture_path(std::string_view path);

}  // namespace rg
