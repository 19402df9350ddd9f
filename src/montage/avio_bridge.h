#pragma once

#include <cstdint>

#include "montage/media_file.h"

struct AVFormatContext;
struct AVIOContext;

namespace rg {

// Presents a VirtualFile to libavformat as a custom AVIOContext that reads no more than the
// demuxer needs. Reads into the caller's memory pass through at the size asked for (the context
// is in direct mode, so seeks always reach the file instead of reading forward); refills of the
// context's own buffer, which serve the demuxer's small reads, start at kMinFill bytes after a
// seek and, while growth is allowed, double on each contiguous refill up to kMaxFill.
class AvioBridge {
  public:
    static constexpr int kMinFill = 1024;
    static constexpr int kMaxFill = 32 * 1024;

    explicit AvioBridge(VirtualFile& file);
    ~AvioBridge();
    AvioBridge(const AvioBridge&) = delete;
    AvioBridge& operator=(const AvioBridge&) = delete;

    // Null when the context could not be allocated.
    AVIOContext* context() const { return context_; }

    // Contiguous refills may grow (sequential header and index parsing) or stay small (packets).
    void set_fill_growth(bool allowed) { growth_allowed_ = allowed; }
    // Bytes the demuxer may still have fetched; a read beyond fails. Bytes already on disk cost no
    // request, but a demuxer that seeks back and forth between streams reads them again and
    // again: they have an allowance of their own, kLocalRereadFactor times as large. Negative: no
    // limit.
    static constexpr std::int64_t kLocalRereadFactor = 64;
    void set_read_budget(std::int64_t bytes) {
        budget_ = bytes;
        local_budget_ = bytes < 0 ? -1 : bytes * kLocalRereadFactor;
    }
    // While set, reads for the AVI demuxer of `format` fetch an index chunk whole: a read that
    // starts at an "idx1" or "ix##" chunk header, or at the data of a standard index, ensures the
    // rest of that chunk in one span instead of the growing refills. Null: off.
    void set_index_hint(const AVFormatContext* format) { hint_format_ = format; }
    // Clears a failure and the context's sticky error and end flags for the next operation.
    void reset_failure();
    // A read failed (the file delivered nothing before its end) or the budget ran out.
    bool failed() const { return failed_; }

    struct Stats {
        std::int64_t reads = 0;
        std::int64_t bytes = 0;
    };
    const Stats& stats() const { return stats_; }

  private:
    static int read_packet(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
    int read(std::uint8_t* buffer, int size);
    std::int64_t move(std::int64_t offset, int whence);
    bool is_refill(const std::uint8_t* buffer) const;
    bool avi_demuxer() const;
    // Fetches the rest of an index chunk whose first `got` bytes, at the position, are in `data`.
    void ensure_index_chunk(const std::uint8_t* data, int got);

    VirtualFile& file_;
    AVIOContext* context_ = nullptr;
    std::int64_t position_ = 0;
    std::int64_t last_refill_end_ = -1;
    int fill_size_ = kMinFill;
    bool growth_allowed_ = true;
    std::int64_t budget_ = -1;
    std::int64_t local_budget_ = -1;
    const AVFormatContext* hint_format_ = nullptr;
    // The index chunk last fetched whole.
    std::int64_t index_ensured_start_ = -1;
    std::int64_t index_ensured_end_ = -1;
    bool failed_ = false;
    Stats stats_;
};

}  // namespace rg
