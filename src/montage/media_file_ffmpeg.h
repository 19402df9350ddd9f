#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "montage/avio_bridge.h"
#include "montage/ffmpeg_handles.h"
#include "montage/ffmpeg_rgb_converter.h"
#include "montage/ffmpeg_timeline.h"
#include "montage/media_file.h"

namespace rg {

// A MediaFile read by libavformat and decoded by libavcodec over a VirtualFile.
class FfmpegMediaFile final : public MediaFile {
  public:
    FfmpegMediaFile(VirtualFile& file, const MediaOpenOptions& options);

    MediaOpenResult open();

    const MediaHeader& header() const override { return header_; }
    CodecStatus codec_status() const override { return codec_status_; }
    std::string codec_name() const override { return codec_name_; }
    std::int64_t key_frame_at_or_before(std::int64_t frame) override;
    FrameResult decode_frame(std::int64_t frame, Picture& out) override;

  private:
    struct ChunkSpan {
        std::int64_t start;
        std::int64_t end;
    };

    // Opens the container and finds the first video stream; other streams are discarded.
    MediaOpenResult open_demuxer();
    // Reads the first bytes: NotAvi unless they start an AVI; the position is back at 0.
    MediaOpenResult check_signature(AVIOContext& io);
    bool read_header_values();
    void look_up_codec();
    bool ensure_decoder();

    // Index position of the key frame at or before `frame`, -1 when there is none.
    int key_entry_at_or_before(std::int64_t frame);
    // Moves the demuxer to the key frame at or before `frame` (or to the start when none is
    // known) and empties the decoder. The first frame that will come out, -1 on failure.
    std::int64_t seek_for(std::int64_t frame);
    // The chunks from index entry `first` up to frame `last`, joined where they nearly touch.
    std::vector<ChunkSpan> chunk_spans(int first, std::int64_t last);
    void prefetch(const std::vector<ChunkSpan>& spans);
    std::int64_t read_budget(const std::vector<ChunkSpan>& spans) const;

    enum class Step { Continue, Done, Failed };
    // Hands one decoded frame to the search for `frame`.
    Step take_output(std::int64_t frame, Picture& out);
    Step receive_frames(std::int64_t frame, Picture& out);
    // False when a packet is not the chunk the index names for its frame.
    bool matches_index(const AVPacket& packet);
    bool convert_held(Picture& out);
    void forget_position();

    VirtualFile& file_;
    MediaOpenOptions options_;
    AvioBridge bridge_;
    FormatHandle format_;
    AVStream* stream_ = nullptr;
    int stream_index_ = -1;
    bool fresh_ = false;  // nothing read since the container was opened
    // The file has an index of its own: key frames and the frame count come from it.
    bool indexed_ = false;

    MediaHeader header_;
    CodecStatus codec_status_ = CodecStatus::NoStream;
    std::string codec_name_;
    std::optional<FrameTimeline> timeline_;
    std::int64_t max_packet_bytes_ = 0;

    const AVCodec* decoder_ = nullptr;
    CodecContextHandle codec_;
    bool decoder_failed_ = false;
    PacketHandle packet_;
    FrameHandle frame_;
    // The last frame the decoder put out, and its number (-1: none since the last seek).
    FrameHandle held_;
    std::int64_t held_number_ = -1;
    // The demuxer and the decoder stand right after held_: the next frames follow without a seek.
    bool can_continue_ = false;
    RgbConverter converter_;
};

}  // namespace rg
