#include "montage/media_file_ffmpeg.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "montage/ffmpeg_containers.h"
#include "montage/picture_limits.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

namespace rg {

namespace {

constexpr char kAviFormatName[] = "avi";
constexpr char kMatroskaFormatName[] = "matroska";
// AVI numbers its streams with two digits.
constexpr int kMaxStreams = 100;
// What the demuxer may read while opening: the header and the index (16 bytes a chunk, so this
// holds the index of some four million chunks).
constexpr std::int64_t kOpenReadBudget = 64LL * 1024 * 1024;
// Bytes the container probe of other formats may look at.
constexpr int kAnyFormatProbeSize = 64 * 1024;
constexpr int kSmallestProbeSize = 32;
// A packet larger than four bytes a pixel and this is no frame of the video.
constexpr std::int64_t kPacketSlackBytes = 1024 * 1024;
constexpr std::int64_t kMaxPacketBytes = 256LL * 1024 * 1024;
constexpr int kBytesPerPixelBound = 4;
constexpr std::int64_t kDecodePixelsPerPixel = 16;
constexpr std::int64_t kMinDecodePixels = 2048 * 2048;
constexpr std::size_t kFourccLength = 4;
constexpr int kBitsPerByte = 8;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kLastPrintable = 0x7e;
constexpr char kUnprintable = '.';

bool rate_ok(AVRational rate) {
    return rate.num > 0 && rate.den > 0;
}

// The four characters of a FourCC, least significant byte first; bytes that are no printable
// text show as '.'.
std::string fourcc_text(std::uint32_t tag) {
    std::string text(kFourccLength, kUnprintable);
    for (std::size_t i = 0; i < kFourccLength; ++i) {
        const auto c = static_cast<unsigned char>(tag >> (kBitsPerByte * i));
        if (c >= kFirstPrintable && c <= kLastPrintable)
            text[i] = static_cast<char>(c);
    }
    return text;
}

}  // namespace

FfmpegMediaFile::FfmpegMediaFile(VirtualFile& file, const MediaOpenOptions& options)
    : file_(file), options_(options), bridge_(file) {}

MediaOpenResult FfmpegMediaFile::check_signature(AVIOContext& io) {
    std::uint8_t signature[kAviSignatureBytes] = {};
    bridge_.reset_failure();
    const int got = avio_read(&io, signature, static_cast<int>(sizeof signature));
    if (bridge_.failed())
        return MediaOpenResult::OpenFailed;
    if (got < 0 || !has_avi_signature(signature, static_cast<std::size_t>(got)))
        return MediaOpenResult::NotAvi;
    if (avio_seek(&io, 0, SEEK_SET) < 0)
        return MediaOpenResult::OpenFailed;
    return MediaOpenResult::Ok;
}

MediaOpenResult FfmpegMediaFile::open_demuxer() {
    format_.reset();
    stream_ = nullptr;
    stream_index_ = -1;
    indexed_ = false;
    AVIOContext* io = bridge_.context();
    if (io == nullptr)
        return MediaOpenResult::OpenFailed;
    if (avio_seek(io, 0, SEEK_SET) < 0)
        return MediaOpenResult::OpenFailed;

    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr)
        return MediaOpenResult::OpenFailed;
    FormatHandle owned(context);
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    context->max_streams = kMaxStreams;
    if (!confine_to_own_file(*context))
        return MediaOpenResult::OpenFailed;
    // Nothing is probed beyond need: the AVI demuxer is named, other containers are recognised
    // from their first bytes, and no stream is analysed by decoding.
    context->fps_probe_size = 0;
    bridge_.set_fill_growth(true);
    bridge_.set_read_budget(kOpenReadBudget);
    const AVInputFormat* format = nullptr;
    MediaOpenResult recognised = MediaOpenResult::Ok;
    if (options_.any_format) {
        context->format_probesize = kAnyFormatProbeSize;
        context->probesize = kAnyFormatProbeSize;
        bridge_.reset_failure();
        const int probed =
            av_probe_input_buffer2(io, &format, "", context, 0, context->format_probesize);
        if (bridge_.failed())
            recognised = MediaOpenResult::OpenFailed;
        else if (probed < 0 || format == nullptr || !single_file_format(*format))
            recognised = MediaOpenResult::UnknownFormat;
    } else {
        format = av_find_input_format(kAviFormatName);
        context->format_probesize = kSmallestProbeSize;
        context->probesize = kSmallestProbeSize;
        recognised = format != nullptr ? check_signature(*io) : MediaOpenResult::OpenFailed;
    }
    if (recognised != MediaOpenResult::Ok) {
        bridge_.set_read_budget(-1);
        return recognised;
    }

    bridge_.reset_failure();
    // The AVI demuxer reads its index while opening: each index chunk comes in one span.
    bridge_.set_index_hint(context);
    // On failure the context is freed and set to null.
    context = owned.release();
    const int opened = avformat_open_input(&context, "", format, nullptr);
    bridge_.set_index_hint(nullptr);
    bridge_.set_read_budget(-1);
    // A read that failed on the way (a fetch, a Cancel) leaves the header or the index partial.
    if (bridge_.failed()) {
        if (opened >= 0)
            avformat_close_input(&context);
        return MediaOpenResult::OpenFailed;
    }
    if (opened < 0)
        return MediaOpenResult::DamagedHeader;
    format_.reset(context);

    if (std::strcmp(format_->iformat->name, kAviFormatName) == 0) {
        // The packets as stored: their decode timestamps are the frame numbers.
        format_->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    }
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        AVStream* stream = format_->streams[i];
        const bool video = stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                           (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0;
        if (video && stream_ == nullptr) {
            stream_ = stream;
            stream_index_ = static_cast<int>(i);
        } else {
            stream->discard = AVDISCARD_ALL;
        }
    }
    if (stream_ == nullptr)
        return MediaOpenResult::NoVideoStream;
    if (std::strncmp(format_->iformat->name, kMatroskaFormatName,
                     std::strlen(kMatroskaFormatName)) == 0 &&
        avformat_index_get_entries_count(stream_) == 0) {
        // Matroska reads its index (the cues) at the first seek: seek to the start once, so that
        // the key frames are known.
        bridge_.set_read_budget(kOpenReadBudget);
        av_seek_frame(format_.get(), stream_index_, 0, AVSEEK_FLAG_BACKWARD);
        bridge_.set_read_budget(-1);
        if (bridge_.failed())
            return MediaOpenResult::OpenFailed;
    }
    // Entries the demuxer adds while it reads an unindexed file name only the key frames met so
    // far, not the key frame at or before a later frame.
    indexed_ = avformat_index_get_entries_count(stream_) > 0;
    fresh_ = true;
    return MediaOpenResult::Ok;
}

bool FfmpegMediaFile::read_header_values() {
    const AVCodecParameters& par = *stream_->codecpar;
    if (!picture_side_ok(par.width) || !picture_side_ok(par.height))
        return false;
    header_.width = static_cast<std::uint32_t>(par.width);
    header_.height = static_cast<std::uint32_t>(par.height);

    const bool avi = std::strcmp(format_->iformat->name, kAviFormatName) == 0;
    AVRational rate{0, 0};
    if (avi) {
        // The stream's time base is dwScale / dwRate (reduced): one tick a frame.
        rate = av_inv_q(stream_->time_base);
    } else {
        rate = rate_ok(stream_->avg_frame_rate) ? stream_->avg_frame_rate : stream_->r_frame_rate;
    }
    if (!rate_ok(rate) || !rate_ok(stream_->time_base))
        return false;
    header_.rate = static_cast<std::uint32_t>(rate.num);
    header_.scale = static_cast<std::uint32_t>(rate.den);

    if (avi) {
        timeline_ = FrameTimeline::samples();
    } else {
        const std::int64_t start = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
        // An index of decode times starts before the first frame is shown (by the reorder delay
        // of B-frames); its key frames are numbered by the times they are shown.
        const AVIndexEntry* first = avformat_index_get_entry(stream_, 0);
        std::int64_t shift = 0;
        if (first == nullptr || first->timestamp >= start ||
            __builtin_sub_overflow(start, first->timestamp, &shift)) {
            shift = 0;
        }
        timeline_ = FrameTimeline::times(stream_->time_base, rate, start, shift);
    }

    std::int64_t count = stream_->nb_frames;
    const int entries = avformat_index_get_entries_count(stream_);
    if (avi && entries > 0) {
        // Frames past the index cannot be read: a header that claims more is cut to the index.
        const AVIndexEntry* last = avformat_index_get_entry(stream_, entries - 1);
        const bool sound = last != nullptr && last->timestamp >= 0 &&
                           last->timestamp < std::numeric_limits<std::uint32_t>::max();
        const std::int64_t indexed = sound ? last->timestamp + 1 : 0;
        if (count <= 0 || (indexed > 0 && count > indexed))
            count = indexed;
    }
    if (count <= 0 && !avi) {
        if (stream_->duration != AV_NOPTS_VALUE && stream_->duration > 0)
            count = av_rescale_q(stream_->duration, stream_->time_base, av_inv_q(rate));
        else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
            count = av_rescale_q(format_->duration, AV_TIME_BASE_Q, av_inv_q(rate));
    }
    if (count < 0 || count > std::numeric_limits<std::uint32_t>::max())
        return false;
    header_.frame_count = static_cast<std::uint32_t>(count);

    std::uint32_t tag = par.codec_tag;
    if (tag == 0 && !avi) {
        const AVCodecTag* const riff[] = {avformat_get_riff_video_tags(), nullptr};
        tag = av_codec_get_tag(riff, par.codec_id);
    }
    header_.fourcc = fourcc_text(tag);

    const std::int64_t pixels = static_cast<std::int64_t>(par.width) * par.height;
    max_packet_bytes_ = std::min(pixels * kBytesPerPixelBound + kPacketSlackBytes, kMaxPacketBytes);
    return true;
}

void FfmpegMediaFile::look_up_codec() {
    const AVCodecParameters& par = *stream_->codecpar;
    AVCodecID id = AV_CODEC_ID_NONE;
    if (par.codec_tag != 0) {
        // The FourCC names the decoder, as in the AVI's own tag table.
        const AVCodecTag* const riff[] = {avformat_get_riff_video_tags(), nullptr};
        id = av_codec_get_id(riff, par.codec_tag);
    }
    if (id == AV_CODEC_ID_NONE)
        id = par.codec_id;
    decoder_ = id != AV_CODEC_ID_NONE ? avcodec_find_decoder(id) : nullptr;
    if (decoder_ == nullptr) {
        codec_status_ = CodecStatus::NotFound;
        codec_name_.clear();
        return;
    }
    codec_status_ = CodecStatus::Found;
    codec_name_ = decoder_->long_name != nullptr ? decoder_->long_name : decoder_->name;
}

MediaOpenResult FfmpegMediaFile::open() {
    const MediaOpenResult opened = open_demuxer();
    if (opened != MediaOpenResult::Ok)
        return opened;
    if (!read_header_values())
        return MediaOpenResult::InfoUnreadable;
    look_up_codec();
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    held_.reset(av_frame_alloc());
    if (!packet_ || !frame_ || !held_)
        return MediaOpenResult::OpenFailed;
    return MediaOpenResult::Ok;
}

bool FfmpegMediaFile::ensure_decoder() {
    if (codec_)
        return true;
    if (decoder_failed_ || decoder_ == nullptr)
        return false;
    CodecContextHandle codec(avcodec_alloc_context3(decoder_));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream_->codecpar) < 0) {
        decoder_failed_ = true;
        return false;
    }
    codec->thread_count = 1;
    codec->pkt_timebase = stream_->time_base;
    // The decoder allocates what the bitstream says; bound it by the header's picture size,
    // with room for the padded work pictures decoders keep beside it.
    const std::int64_t pixels = static_cast<std::int64_t>(header_.width) * header_.height;
    codec->max_pixels =
        std::clamp<std::int64_t>(pixels * kDecodePixelsPerPixel, kMinDecodePixels,
                                 static_cast<std::int64_t>(kMaxPictureSide) * kMaxPictureSide);
    if (avcodec_open2(codec.get(), decoder_, nullptr) < 0) {
        decoder_failed_ = true;
        return false;
    }
    codec_ = std::move(codec);
    return true;
}

std::unique_ptr<MediaFile> open_media_file(VirtualFile& file, const MediaOpenOptions& options,
                                           MediaOpenResult& result) {
    auto media = std::make_unique<FfmpegMediaFile>(file, options);
    result = media->open();
    if (result != MediaOpenResult::Ok)
        return nullptr;
    return media;
}

}  // namespace rg
