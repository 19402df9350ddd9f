#include "montage/ffmpeg_containers.h"

#include <array>
#include <cstring>
#include <string_view>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace rg {

namespace {

constexpr std::size_t kTagBytes = 4;
constexpr std::size_t kFormTagAt = 8;
constexpr std::array<std::string_view, 2> kFileTags = {"RIFF", "ON2 "};
constexpr std::array<std::string_view, 5> kFormTags = {"AVI ", "AVIX", "AVI\x19", "AMV ", "ON2f"};
constexpr char kNoProtocols[] = "";
constexpr char kListSeparator = ',';

bool tag_in(const std::uint8_t* at, const auto& tags) {
    for (const std::string_view tag : tags) {
        if (std::memcmp(at, tag.data(), kTagBytes) == 0)
            return true;
    }
    return false;
}

// Every other input a demuxer asks for (segments, references, sub-files) is refused.
int refuse_io_open(AVFormatContext* /*context*/, AVIOContext** pb, const char* /*url*/,
                   int /*flags*/, AVDictionary** /*options*/) {
    *pb = nullptr;
    return AVERROR(EPERM);
}

bool replace_text(char*& field, const char* text) {
    char* copy = av_strdup(text);
    if (copy == nullptr)
        return false;
    av_free(field);
    field = copy;
    return true;
}

}  // namespace

bool has_avi_signature(const std::uint8_t* data, std::size_t size) {
    return size >= kAviSignatureBytes && tag_in(data, kFileTags) &&
           tag_in(data + kFormTagAt, kFormTags);
}

bool single_file_format(const AVInputFormat& format) {
    return format.name != nullptr &&
           av_match_list(format.name, kSingleFileFormats, kListSeparator) > 0;
}

bool confine_to_own_file(AVFormatContext& context) {
    context.io_open = &refuse_io_open;
    return replace_text(context.protocol_whitelist, kNoProtocols) &&
           replace_text(context.format_whitelist, kSingleFileFormats);
}

}  // namespace rg
