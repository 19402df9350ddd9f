#pragma once

#include <cstdint>
#include <deque>

extern "C" {
#include <libavutil/rational.h>
}

struct AVFrame;
struct AVPacket;

namespace rg {

// Frame numbers of one video stream against its timestamps, and the numbers of the frames its
// decoder puts out.
//
// In AVI every chunk is one frame and a timestamp is a frame number; the decoder's outputs, which
// come in display order, take the numbers of the packets sent to it in ascending order, so that
// reordered streams and skipped empty chunks keep their numbers. In other containers timestamps
// are times and frame numbers follow from the frame rate.
class FrameTimeline {
  public:
    static FrameTimeline samples();
    // `index_shift`: what the index's timestamps (decode times in some containers) lie before
    // the presentation times of their frames.
    static FrameTimeline times(AVRational time_base, AVRational frame_rate, std::int64_t start,
                               std::int64_t index_shift);

    bool sample_indexed() const { return sample_indexed_; }
    std::int64_t to_timestamp(std::int64_t frame) const;
    std::int64_t to_frame(std::int64_t timestamp) const;
    // The same for timestamps of the index. AV_NOPTS_VALUE or -1 when out of range.
    std::int64_t to_index_timestamp(std::int64_t frame) const;
    std::int64_t index_to_frame(std::int64_t timestamp) const;

    void packet_sent(const AVPacket& packet);
    // The number of a frame the decoder put out; `previous` is that of the one before, -1 if none.
    std::int64_t output_frame(const AVFrame& frame, std::int64_t previous);
    // The decoder was flushed: no packet is pending in it.
    void reset() { pending_.clear(); }

  private:
    FrameTimeline() = default;

    bool sample_indexed_ = true;
    AVRational time_base_{1, 1};
    AVRational frame_duration_{1, 1};
    std::int64_t start_ = 0;
    std::int64_t index_shift_ = 0;
    std::int64_t last_sent_ = -1;
    std::deque<std::int64_t> pending_;
};

}  // namespace rg
