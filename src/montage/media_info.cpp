#include "montage/media_info.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "montage/frame_entry.h"
#include "montage/montage_format.h"

namespace rg {

namespace {

constexpr std::uint32_t kSecondsPerMinute = 60;
constexpr std::uint32_t kMinutesPerHour = 60;
constexpr std::uint32_t kMaxMinutesWithoutHours = 59;
constexpr std::size_t kFourccLength = 4;

std::string fps_line(double rate) {
    char text[64];
    std::snprintf(text, sizeof text, "FPS: %.2f fps", rate);
    return text;
}

// The FourCC as C text: up to its first NUL, at most four characters.
std::string fourcc_text(const std::string& fourcc) {
    std::string text = fourcc.substr(0, kFourccLength);
    if (const auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

}  // namespace

MediaLength media_length(const MediaHeader& header) {
    MediaLength length;
    const double rate = frame_rate(header);
    if (rate > 0.0) {
        const double total = std::trunc(static_cast<double>(header.frame_count) / rate);
        constexpr double kMax = std::numeric_limits<std::uint32_t>::max();
        length.total_seconds = total >= kMax ? std::numeric_limits<std::uint32_t>::max()
                                             : static_cast<std::uint32_t>(total);
    }
    length.minutes = length.total_seconds / kSecondsPerMinute;
    length.seconds = length.total_seconds % kSecondsPerMinute;
    if (length.minutes > kMaxMinutesWithoutHours) {
        length.hours = length.minutes / kMinutesPerHour;
        length.minutes = length.minutes % kMinutesPerHour;
    }
    return length;
}

std::vector<std::string> media_info_lines(const MediaHeader& header, CodecStatus codec_status,
                                          std::string_view codec_name) {
    const MediaLength length = media_length(header);
    std::vector<std::string> lines;
    lines.push_back(format_text("Dimensions: \t%u*%u", header.width, header.height));
    lines.push_back(fps_line(frame_rate(header)));
    lines.push_back(format_text("Length: %u:%u:%u (%u sec)", length.hours, length.minutes,
                                length.seconds, length.total_seconds));
    lines.push_back(format_text("No. of Frames: %u", header.frame_count));
    if (codec_status == CodecStatus::NotFound)
        lines.push_back("Codec: <Not Found>");
    else
        lines.push_back("Codec: " + std::string(codec_name.substr(0, kCodecNameLimit)));
    lines.push_back("FourCC: " + fourcc_text(header.fourcc));
    return lines;
}

}  // namespace rg
