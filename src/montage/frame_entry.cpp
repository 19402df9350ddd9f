#include "montage/frame_entry.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace rg {

namespace {

constexpr double kSecondsPerMinute = 60.0;
constexpr double kSecondsPerHour = 3600.0;
constexpr std::uint64_t kMaxEntryNumber = std::numeric_limits<std::uint32_t>::max();

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

double frame_rate(const MediaHeader& header) {
    if (header.scale == 0)
        return 0.0;
    return static_cast<double>(header.rate) / static_cast<double>(header.scale);
}

std::int64_t time_to_frame(std::string_view text, double frame_rate) {
    const std::string entry(text.substr(0, kFrameEntryTextLimit));
    unsigned hours = 0;
    unsigned minutes = 0;
    double seconds = 0.0;
    if (std::sscanf(entry.c_str(), "%u:%u:%lf", &hours, &minutes, &seconds) < 3) {
        hours = 0;
        if (std::sscanf(entry.c_str(), "%u:%lf", &minutes, &seconds) < 2) {
            minutes = 0;
            if (std::sscanf(entry.c_str(), "%lf", &seconds) < 1)
                return -1;
        }
    }
    // "nan" and "inf" parse as numbers but name no time.
    if (!std::isfinite(seconds) || seconds < 0.0)
        return -1;
    const double total =
        std::trunc(hours * kSecondsPerHour + minutes * kSecondsPerMinute + seconds);
    const double rate = std::isfinite(frame_rate) && frame_rate > 0.0 ? frame_rate : 0.0;
    const double frame = std::ceil(rate * total);
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    if (!(frame < static_cast<double>(kMax)))
        return kMax;
    return static_cast<std::int64_t>(frame);
}

std::int64_t frame_number_to_index(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    std::uint64_t value = 0;
    const std::size_t first_digit = i;
    while (i < text.size() && is_digit(text[i])) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > kMaxEntryNumber)
            return -1;
        ++i;
    }
    const bool has_digits = i > first_digit;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (!has_digits || i != text.size())
        return -1;
    return static_cast<std::int64_t>(value) - 1;
}

std::int64_t clamp_frame_index(std::int64_t index, std::uint32_t frame_count) {
    if (frame_count == 0)
        return 0;
    if (index < 0 || index >= static_cast<std::int64_t>(frame_count))
        return static_cast<std::int64_t>(frame_count) - 1;
    return index;
}

}  // namespace rg
