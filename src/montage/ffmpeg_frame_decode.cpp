// Key frames and single-frame decoding of FfmpegMediaFile.

#include <algorithm>
#include <vector>

#include "montage/media_file_ffmpeg.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

namespace rg {

namespace {

// Packets past the wanted frame that a decoder may hold back before it puts the frame out.
constexpr std::int64_t kDecoderDelaySlack = 64;
constexpr std::int64_t kMaxPacketsPerDecode = 1 << 20;
// What the demuxer may read for one frame beyond the chunks the index names for it.
constexpr std::int64_t kDecodeReadSlack = 4LL * 1024 * 1024;
constexpr std::int64_t kMaxDecodeRead = 256LL * 1024 * 1024;
// Without an index the frame's chunks are unknown; this much may be read to reach it.
constexpr std::int64_t kUnindexedReadBudget = 64LL * 1024 * 1024;
// An AVI chunk: tag and size, then the data, padded to an even length.
constexpr std::int64_t kChunkHeaderBytes = 8;
// Chunks this close are fetched as one span: the hole costs less than another request.
constexpr std::int64_t kPrefetchJoinGap = 4 * 1024;
constexpr std::int32_t kPrefetchPiece = 1024 * 1024;

}  // namespace

int FfmpegMediaFile::key_entry_at_or_before(std::int64_t frame) {
    if (!format_ || !timeline_ || frame < 0)
        return -1;
    const std::int64_t timestamp = timeline_->to_index_timestamp(frame);
    if (timestamp == AV_NOPTS_VALUE)
        return -1;
    return av_index_search_timestamp(stream_, timestamp, AVSEEK_FLAG_BACKWARD);
}

std::int64_t FfmpegMediaFile::key_frame_at_or_before(std::int64_t frame) {
    // Without an index of the file's own, the key frames are not known.
    if (!indexed_)
        return -1;
    const int entry = key_entry_at_or_before(frame);
    if (entry < 0)
        return -1;
    const AVIndexEntry* key = avformat_index_get_entry(stream_, entry);
    if (key == nullptr)
        return -1;
    return std::clamp<std::int64_t>(timeline_->index_to_frame(key->timestamp), 0, frame);
}

void FfmpegMediaFile::forget_position() {
    can_continue_ = false;
    held_number_ = -1;
    av_frame_unref(held_.get());
    if (codec_)
        avcodec_flush_buffers(codec_.get());
    timeline_->reset();
}

std::int64_t FfmpegMediaFile::seek_for(std::int64_t frame) {
    forget_position();
    const int entry = key_entry_at_or_before(frame);
    const AVIndexEntry* key = entry >= 0 ? avformat_index_get_entry(stream_, entry) : nullptr;
    if (key != nullptr) {
        const std::int64_t timestamp = key->timestamp;
        fresh_ = false;
        if (av_seek_frame(format_.get(), stream_index_, timestamp, AVSEEK_FLAG_BACKWARD) < 0)
            return -1;
        return std::max<std::int64_t>(timeline_->index_to_frame(timestamp), 0);
    }
    if (!timeline_->sample_indexed()) {
        // Containers without an index seek by time on their own.
        const std::int64_t timestamp = timeline_->to_timestamp(frame);
        fresh_ = false;
        if (timestamp != AV_NOPTS_VALUE &&
            avformat_seek_file(format_.get(), stream_index_, INT64_MIN, timestamp, timestamp, 0) >=
                0) {
            return 0;
        }
    }
    // No key frame known: decode from the start, opening the container again unless nothing
    // was read since it was opened.
    if (!fresh_ && open_demuxer() != MediaOpenResult::Ok)
        return -1;
    return 0;
}

std::vector<FfmpegMediaFile::ChunkSpan> FfmpegMediaFile::chunk_spans(int first, std::int64_t last) {
    std::vector<ChunkSpan> spans;
    if (first < 0)
        return spans;
    // AVI's index points at the chunk header in front of the data; others at the data.
    const std::int64_t header = timeline_->sample_indexed() ? kChunkHeaderBytes : 0;
    const std::int64_t file_size = file_.size();
    const int count = avformat_index_get_entries_count(stream_);
    std::int64_t total = 0;
    for (int i = first; i < count && total < kMaxDecodeRead; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream_, i);
        if (entry == nullptr || timeline_->index_to_frame(entry->timestamp) > last)
            break;
        if (entry->pos < 0 || entry->pos >= file_size || entry->size <= 0)
            continue;
        const std::int64_t padded = entry->size + (header > 0 ? entry->size & 1 : 0);
        const std::int64_t end = std::min(file_size, entry->pos + header + padded);
        if (!spans.empty() && entry->pos >= spans.back().start &&
            entry->pos - spans.back().end <= kPrefetchJoinGap) {
            const std::int64_t grown = std::max(spans.back().end, end);
            total += grown - spans.back().end;
            spans.back().end = grown;
        } else {
            spans.push_back({entry->pos, end});
            total += end - entry->pos;
        }
    }
    return spans;
}

void FfmpegMediaFile::prefetch(const std::vector<ChunkSpan>& spans) {
    // Reading a span makes the file fetch its missing bytes in one request; the demuxer's own
    // small reads then find them on disk.
    std::vector<std::uint8_t> scratch;
    for (const ChunkSpan& span : spans) {
        for (std::int64_t at = span.start; at < span.end;) {
            const auto piece =
                static_cast<std::int32_t>(std::min<std::int64_t>(span.end - at, kPrefetchPiece));
            scratch.resize(static_cast<std::size_t>(piece));
            if (file_.seek(at, SeekOrigin::Start) != at)
                return;
            const std::int32_t got = file_.read(scratch.data(), piece);
            if (got <= 0)
                return;
            at += got;
        }
    }
}

std::int64_t FfmpegMediaFile::read_budget(const std::vector<ChunkSpan>& spans) const {
    if (spans.empty())
        return kUnindexedReadBudget;
    std::int64_t total = kDecodeReadSlack;
    for (const ChunkSpan& span : spans)
        total += span.end - span.start;
    return std::min(total, kMaxDecodeRead);
}

bool FfmpegMediaFile::matches_index(const AVPacket& packet) {
    if (!timeline_->sample_indexed() || packet.pos < 0 || packet.dts == AV_NOPTS_VALUE)
        return true;
    // A chunk found by resynchronising after a damaged one takes the damaged one's number.
    const AVIndexEntry* entry = avformat_index_get_entry_from_timestamp(
        stream_, packet.dts, AVSEEK_FLAG_ANY | AVSEEK_FLAG_BACKWARD);
    if (entry == nullptr || entry->timestamp != packet.dts)
        return true;
    return entry->pos + kChunkHeaderBytes == packet.pos;
}

bool FfmpegMediaFile::convert_held(Picture& out) {
    return converter_.convert(*held_, static_cast<int>(header_.width),
                              static_cast<int>(header_.height), out);
}

FfmpegMediaFile::Step FfmpegMediaFile::take_output(std::int64_t frame, Picture& out) {
    const std::int64_t number = timeline_->output_frame(*frame_, held_number_);
    Step step = Step::Continue;
    if (number >= frame) {
        bool converted = false;
        if (number > frame && held_number_ >= 0 && held_number_ < frame) {
            // Nothing was stored for the wanted frame (an empty chunk): it repeats the one before.
            converted = convert_held(out);
        } else if (number > frame && timeline_->sample_indexed()) {
            // The frame did not come out of its chunk: damaged or missing.
            converted = false;
        } else {
            // A time-based stream has no frame at exactly that time: the next one shows then.
            converted = converter_.convert(*frame_, static_cast<int>(header_.width),
                                           static_cast<int>(header_.height), out);
        }
        step = converted ? Step::Done : Step::Failed;
    }
    av_frame_unref(held_.get());
    av_frame_move_ref(held_.get(), frame_.get());
    held_number_ = number;
    return step;
}

FfmpegMediaFile::Step FfmpegMediaFile::receive_frames(std::int64_t frame, Picture& out) {
    for (;;) {
        const int received = avcodec_receive_frame(codec_.get(), frame_.get());
        if (received < 0)
            return Step::Continue;  // wants input, drained, or a damaged frame
        const Step step = take_output(frame, out);
        if (step != Step::Continue)
            return step;
    }
}

FrameResult FfmpegMediaFile::decode_frame(std::int64_t frame, Picture& out) {
    out = Picture{};
    if (codec_status_ != CodecStatus::Found || !ensure_decoder())
        return FrameResult::NoDecoder;
    if (!format_ || frame < 0 || frame >= header_.frame_count)
        return FrameResult::FrameMissing;
    if (held_number_ == frame)
        return convert_held(out) ? FrameResult::Ok : FrameResult::FrameMissing;

    const std::int64_t key = key_frame_at_or_before(frame);
    const bool follows = can_continue_ && held_number_ >= 0 && held_number_ < frame &&
                         (key < 0 || key <= held_number_);
    std::int64_t first = 0;
    std::vector<ChunkSpan> spans;
    if (follows) {
        first = held_number_ + 1;
        const std::int64_t from = timeline_->to_index_timestamp(first);
        if (from != AV_NOPTS_VALUE)
            spans = chunk_spans(av_index_search_timestamp(stream_, from, AVSEEK_FLAG_ANY), frame);
    } else {
        first = seek_for(frame);
        if (first < 0) {
            forget_position();
            return FrameResult::FrameMissing;
        }
        spans = chunk_spans(key_entry_at_or_before(frame), frame);
    }
    prefetch(spans);

    bridge_.reset_failure();
    bridge_.set_fill_growth(false);
    bridge_.set_read_budget(read_budget(spans));
    can_continue_ = false;
    Step step = receive_frames(frame, out);  // frames a previous call left in the decoder
    std::int64_t packets = std::min(std::max<std::int64_t>(frame - first, 0) + kDecoderDelaySlack,
                                    kMaxPacketsPerDecode);
    // The wanted frame is the key frame itself: once its packet is in, draining the decoder puts
    // it out, where a decoder that reorders would otherwise wait for the packets after it.
    const std::int64_t key_timestamp =
        !follows && key >= 0 && key == frame && timeline_->sample_indexed()
            ? timeline_->to_index_timestamp(key)
            : AV_NOPTS_VALUE;
    bool ended = false;
    bool drained = false;
    while (step == Step::Continue && packets-- > 0) {
        fresh_ = false;
        if (av_read_frame(format_.get(), packet_.get()) < 0) {
            ended = true;
            break;
        }
        if (packet_->stream_index != stream_index_ || packet_->size <= 0) {
            av_packet_unref(packet_.get());
            continue;
        }
        if (packet_->size > max_packet_bytes_ || !matches_index(*packet_)) {
            av_packet_unref(packet_.get());
            step = Step::Failed;
            break;
        }
        const bool sent = avcodec_send_packet(codec_.get(), packet_.get()) >= 0;
        if (sent)
            timeline_->packet_sent(*packet_);
        const bool key_sent = sent && key_timestamp != AV_NOPTS_VALUE &&
                              packet_->dts == key_timestamp &&
                              (packet_->flags & AV_PKT_FLAG_KEY) != 0;
        av_packet_unref(packet_.get());
        step = receive_frames(frame, out);
        if (step == Step::Continue && key_sent) {
            avcodec_send_packet(codec_.get(), nullptr);
            step = receive_frames(frame, out);
            // A drained decoder takes packets again only after a flush.
            avcodec_flush_buffers(codec_.get());
            timeline_->reset();
            drained = true;
            break;
        }
    }
    if (drained) {
        bridge_.set_read_budget(-1);
        if (step == Step::Done && !bridge_.failed())
            return FrameResult::Ok;  // held_ serves it again; a later frame seeks
        out = Picture{};
        forget_position();
        return FrameResult::FrameMissing;
    }
    if (step == Step::Continue && ended && !bridge_.failed()) {
        // The end of the stream: the decoder gives up what it holds back.
        avcodec_send_packet(codec_.get(), nullptr);
        step = receive_frames(frame, out);
        // A wanted frame past the last one stored repeats it, where the index says the stream
        // goes on so far. In an unindexed AVI the end is where the file was cut.
        const bool counted = indexed_ || !timeline_->sample_indexed();
        if (step == Step::Continue && counted && held_number_ >= 0 && held_number_ <= frame)
            step = convert_held(out) ? Step::Done : Step::Failed;
        bridge_.set_read_budget(-1);
        // The drained decoder takes no more packets until the next seek flushes it.
        return step == Step::Done ? FrameResult::Ok : FrameResult::FrameMissing;
    }
    bridge_.set_read_budget(-1);
    if (step == Step::Done && !bridge_.failed()) {
        can_continue_ = true;
        return FrameResult::Ok;
    }
    out = Picture{};
    forget_position();
    return FrameResult::FrameMissing;
}

}  // namespace rg
