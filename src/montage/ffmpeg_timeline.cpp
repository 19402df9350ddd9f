#include "montage/ffmpeg_timeline.h"

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/avutil.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
}

namespace rg {

namespace {

// Packets a decoder may hold back; more pending means it swallowed some, and the numbering
// starts over rather than grow without bound.
constexpr std::size_t kMaxPendingPackets = 4096;

}  // namespace

FrameTimeline FrameTimeline::samples() {
    return FrameTimeline();
}

FrameTimeline FrameTimeline::times(AVRational time_base, AVRational frame_rate, std::int64_t start,
                                   std::int64_t index_shift) {
    FrameTimeline timeline;
    timeline.sample_indexed_ = false;
    timeline.time_base_ = time_base;
    timeline.frame_duration_ = av_inv_q(frame_rate);
    timeline.start_ = start;
    timeline.index_shift_ = index_shift;
    return timeline;
}

std::int64_t FrameTimeline::to_timestamp(std::int64_t frame) const {
    if (sample_indexed_)
        return frame;
    std::int64_t timestamp = 0;
    if (__builtin_add_overflow(start_, av_rescale_q(frame, frame_duration_, time_base_),
                               &timestamp)) {
        return AV_NOPTS_VALUE;
    }
    return timestamp;
}

std::int64_t FrameTimeline::to_frame(std::int64_t timestamp) const {
    if (sample_indexed_)
        return timestamp;
    std::int64_t offset = 0;
    if (__builtin_sub_overflow(timestamp, start_, &offset))
        return -1;
    return av_rescale_q(offset, time_base_, frame_duration_);
}

std::int64_t FrameTimeline::to_index_timestamp(std::int64_t frame) const {
    const std::int64_t timestamp = to_timestamp(frame);
    std::int64_t shifted = 0;
    if (timestamp == AV_NOPTS_VALUE || __builtin_sub_overflow(timestamp, index_shift_, &shifted))
        return AV_NOPTS_VALUE;
    return shifted;
}

std::int64_t FrameTimeline::index_to_frame(std::int64_t timestamp) const {
    std::int64_t shifted = 0;
    if (__builtin_add_overflow(timestamp, index_shift_, &shifted))
        return -1;
    return to_frame(shifted);
}

void FrameTimeline::packet_sent(const AVPacket& packet) {
    if (!sample_indexed_)
        return;
    if (pending_.size() >= kMaxPendingPackets)
        pending_.clear();
    const std::int64_t number = packet.dts != AV_NOPTS_VALUE ? packet.dts : last_sent_ + 1;
    last_sent_ = number;
    pending_.push_back(number);
}

std::int64_t FrameTimeline::output_frame(const AVFrame& frame, std::int64_t previous) {
    if (sample_indexed_) {
        if (!pending_.empty()) {
            const std::int64_t number = pending_.front();
            pending_.pop_front();
            return number;
        }
        return previous + 1;
    }
    if (frame.best_effort_timestamp == AV_NOPTS_VALUE)
        return previous + 1;
    return to_frame(frame.best_effort_timestamp);
}

}  // namespace rg
