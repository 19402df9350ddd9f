#include "cli/montage_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rg {

namespace {

constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr std::int64_t kMsPerHour = 60 * kMsPerMinute;
// About 114 years; longer times are shown as this.
constexpr double kMaxSeconds = 3.6e9;
constexpr std::int32_t kSheetColumns = 5;
constexpr std::string_view kSheetSuffix = ".montage.jpg";

}  // namespace

std::string video_time_text(double seconds) {
    const double bounded = std::isfinite(seconds) ? std::clamp(seconds, 0.0, kMaxSeconds) : 0.0;
    const auto ms = static_cast<std::int64_t>(std::llround(bounded * kMsPerSecond));
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(ms / kMsPerHour),
                  static_cast<long long>(ms % kMsPerHour / kMsPerMinute),
                  static_cast<long long>(ms % kMsPerMinute / kMsPerSecond),
                  static_cast<long long>(ms % kMsPerSecond));
    return text;
}

std::string frame_line(const StoryboardEntry& entry) {
    return "frame " + std::to_string(entry.frame_number) + " " +
           video_time_text(entry.time_seconds);
}

std::string fetched_line(const FetchStats& stats) {
    return "fetched " + std::to_string(stats.bytes.load()) + " bytes in " +
           std::to_string(stats.requests.load()) + " requests";
}

ContactSheetOptions sheet_options(std::int32_t count) {
    ContactSheetOptions options;
    // A square grid once five columns would make it taller than wide.
    const auto square = static_cast<std::int32_t>(std::ceil(std::sqrt(std::max(count, 1))));
    options.columns = std::clamp(square, kSheetColumns, kMaxContactSheetColumns);
    return options;
}

std::string default_sheet_path(std::string_view folder, std::string_view file_name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path += '/';
    path += file_name;
    path += kSheetSuffix;
    return path;
}

}  // namespace rg
