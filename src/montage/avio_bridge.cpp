#include "montage/avio_bridge.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/local_file.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace rg {

namespace {

constexpr char kAviFormatName[] = "avi";
// An index chunk is fetched whole up to this size; a larger one in part, the rest as read.
constexpr std::int64_t kMaxIndexChunk = 64LL * 1024 * 1024;
constexpr std::int32_t kEnsurePiece = 4 * 1024 * 1024;
// A chunk header: tag and size; the data is padded to an even length.
constexpr std::int64_t kChunkHeaderBytes = 8;
// The data of a standard index: longs an entry (2), sub-type (0), type (1: an index of chunks),
// entries in use, the chunk id of its stream, base offset and a reserved long; then the entries.
constexpr int kStdIndexHeaderBytes = 24;
constexpr std::int64_t kStdIndexEntryBytes = 8;
constexpr std::uint8_t kStdIndexLongsPerEntry = 2;
constexpr std::uint8_t kIndexOfChunks = 1;
constexpr int kStdIndexEntriesAt = 4;
constexpr int kStdIndexChunkIdAt = 8;

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool is_digit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

bool is_lower(std::uint8_t c) {
    return c >= 'a' && c <= 'z';
}

// Bytes from `data` to the end of the index chunk it starts, 0 when it starts none: an "idx1"
// or "ix##" chunk header, or the data of a standard index (where the demuxer seeks past the
// chunk's header).
std::int64_t index_chunk_length(const std::uint8_t* data, int got) {
    if (got >= kChunkHeaderBytes) {
        const bool idx1 = std::memcmp(data, "idx1", 4) == 0;
        const bool ix = data[0] == 'i' && data[1] == 'x' && is_digit(data[2]) && is_digit(data[3]);
        if (idx1 || ix) {
            const std::int64_t size = le32(data + 4);
            return kChunkHeaderBytes + size + (size & 1);
        }
    }
    if (got >= kStdIndexHeaderBytes && data[0] == kStdIndexLongsPerEntry && data[1] == 0 &&
        data[2] == 0 && data[3] == kIndexOfChunks) {
        const std::uint8_t* id = data + kStdIndexChunkIdAt;
        if (is_digit(id[0]) && is_digit(id[1]) && is_lower(id[2]) && is_lower(id[3])) {
            const std::int64_t entries = le32(data + kStdIndexEntriesAt);
            return kStdIndexHeaderBytes + entries * kStdIndexEntryBytes;
        }
    }
    return 0;
}

}  // namespace

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

bool AvioBridge::avi_demuxer() const {
    return hint_format_ != nullptr && hint_format_->iformat != nullptr &&
           hint_format_->iformat->name != nullptr &&
           std::strcmp(hint_format_->iformat->name, kAviFormatName) == 0;
}

void AvioBridge::ensure_index_chunk(const std::uint8_t* data, int got) {
    const std::int64_t start = position_;
    if (start >= index_ensured_start_ && start < index_ensured_end_)
        return;  // inside a chunk already fetched whole
    const std::int64_t length = std::min(index_chunk_length(data, got), kMaxIndexChunk);
    const std::int64_t end = std::min(file_.size(), start + length);
    if (end <= start + got)
        return;
    index_ensured_start_ = start;
    index_ensured_end_ = end;
    // Reading the rest makes the file fetch its missing bytes in one span; the demuxer's refills
    // then find them on disk.
    std::vector<std::uint8_t> scratch;
    for (std::int64_t at = start + got; at < end;) {
        const auto piece =
            static_cast<std::int32_t>(std::min<std::int64_t>(end - at, kEnsurePiece));
        scratch.resize(static_cast<std::size_t>(piece));
        if (file_.seek(at, SeekOrigin::Start) != at)
            return;
        const std::int32_t read = file_.read(scratch.data(), piece);
        if (read <= 0)
            return;  // the demuxer's own reads meet the failure
        at += read;
    }
}

int AvioBridge::read(std::uint8_t* buffer, int size) {
    if (size <= 0)
        return AVERROR(EINVAL);
    const std::int64_t file_size = file_.size();
    if (position_ >= file_size)
        return AVERROR_EOF;

    const bool refill = is_refill(buffer);
    if (file_.seek(position_, SeekOrigin::Start) != position_) {
        failed_ = true;
        return AVERROR(EIO);
    }

    // Bytes already on disk cost no request and are handed over as far as they go.
    int wanted = size;
    if (local_budget_ >= 0)
        wanted = static_cast<int>(std::min<std::int64_t>(wanted, local_budget_));
    std::int32_t got = wanted > 0 ? file_.read_local(buffer, wanted) : 0;
    if (got > 0) {
        if (local_budget_ > 0)
            local_budget_ -= got;
    } else {
        wanted = size;
        if (budget_ >= 0) {
            if (budget_ == 0 || local_budget_ == 0) {
                failed_ = true;
                return AVERROR(EIO);
            }
            wanted = static_cast<int>(std::min<std::int64_t>(wanted, budget_));
        }
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
        if (got > 0 && budget_ > 0)
            budget_ -= got;
    }
    if (got <= 0) {
        // Nothing before the end of the file: the fetch failed or was cancelled.
        failed_ = true;
        return AVERROR(EIO);
    }
    if (refill && avi_demuxer())
        ensure_index_chunk(buffer, got);
    position_ += got;
    last_refill_end_ = refill ? position_ : -1;
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
    if (__builtin_add_overflow(base, offset, &target) || target < 0 || target > kMaxFileSize)
        return AVERROR(EINVAL);
    position_ = target;
    return target;
}

}  // namespace rg
