#include "montage/avio_bridge.h"

#include <algorithm>
#include <cstdio>
#include <limits>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace rg {

AvioBridge::AvioBridge(VirtualFile& file) : file_(file) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kMaxFill));
    if (buffer == nullptr)
        return;
    context_ = avio_alloc_context(buffer, kMaxFill, 0, this, &AvioBridge::read_packet, nullptr,
                                  &AvioBridge::seek);
    if (context_ == nullptr) {
        av_free(buffer);
        return;
    }
    context_->direct = 1;
    context_->seekable = AVIO_SEEKABLE_NORMAL;
}

AvioBridge::~AvioBridge() {
    if (context_ != nullptr) {
        // The context may have replaced its buffer (probing does); free the current one.
        av_freep(&context_->buffer);
        avio_context_free(&context_);
    }
}

void AvioBridge::reset_failure() {
    failed_ = false;
    if (context_ != nullptr) {
        context_->error = 0;
        context_->eof_reached = 0;
    }
}

int AvioBridge::read_packet(void* opaque, std::uint8_t* buffer, int size) {
    return static_cast<AvioBridge*>(opaque)->read(buffer, size);
}

std::int64_t AvioBridge::seek(void* opaque, std::int64_t offset, int whence) {
    return static_cast<AvioBridge*>(opaque)->move(offset, whence);
}

bool AvioBridge::is_refill(const std::uint8_t* buffer) const {
    const std::uint8_t* start = context_->buffer;
    return buffer >= start && buffer < start + context_->buffer_size;
}

int AvioBridge::read(std::uint8_t* buffer, int size) {
    if (size <= 0)
        return AVERROR(EINVAL);
    const std::int64_t file_size = file_.size();
    if (position_ >= file_size)
        return AVERROR_EOF;

    const bool refill = is_refill(buffer);
    int wanted = size;
    if (budget_ >= 0) {
        if (budget_ == 0) {
            failed_ = true;
            return AVERROR(EIO);
        }
        wanted = static_cast<int>(std::min<std::int64_t>(wanted, budget_));
    }
    if (file_.seek(position_, SeekOrigin::Start) != position_) {
        failed_ = true;
        return AVERROR(EIO);
    }

    // Bytes already on disk cost nothing and are handed over as far as they go.
    std::int32_t got = file_.read_local(buffer, wanted);
    if (got <= 0) {
        // A refill, which serves small reads, asks for a small piece that grows while the
        // demuxer reads on; a read into the demuxer's memory asks for what it needs.
        if (refill) {
            if (position_ == last_refill_end_ && growth_allowed_)
                fill_size_ = std::min(fill_size_ * 2, kMaxFill);
            else
                fill_size_ = kMinFill;
            wanted = std::min(wanted, fill_size_);
        }
        got = file_.read(buffer, wanted);
    }
    if (got <= 0) {
        // Nothing before the end of the file: the fetch failed or was cancelled.
        failed_ = true;
        return AVERROR(EIO);
    }
    position_ += got;
    last_refill_end_ = refill ? position_ : -1;
    if (budget_ > 0)
        budget_ -= got;
    ++stats_.reads;
    stats_.bytes += got;
    return got;
}

std::int64_t AvioBridge::move(std::int64_t offset, int whence) {
    const std::int64_t file_size = file_.size();
    if ((whence & AVSEEK_SIZE) != 0)
        return file_size;
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            break;
        case SEEK_CUR:
            base = position_;
            break;
        case SEEK_END:
            base = file_size;
            break;
        default:
            return AVERROR(EINVAL);
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0 ||
        target > std::numeric_limits<std::int32_t>::max()) {
        return AVERROR(EINVAL);
    }
    position_ = target;
    return target;
}

}  // namespace rg
