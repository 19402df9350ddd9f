#pragma once

#include <cstdint>
#include <functional>

#include "montage/media_file.h"

namespace rg {

class DownloadItem;

// Fetches [start, start + length) from the server into the item's file and ranges; the bytes
// received (fewer than `length` means failure). In the program this is span_fetch.
using SpanFetcher = std::function<std::int64_t(std::int64_t start, std::int64_t length)>;

struct ReaderSettings {
    std::int32_t min_seg_size = 1024;  // "MinSegSize"
    std::int32_t min_gap_size = 1024;  // "MinGapSize"
};

// Makes [start, start + length) present in the item's local file, fetching only missing bytes
// and closing holes of at most min_gap_size next to them. Trimmed at the item's total size.
bool ensure_span(DownloadItem& item, std::int64_t start, std::int64_t length,
                 const SpanFetcher& fetch, std::int64_t min_gap_size);

// Reads `count` bytes at `position` from the item's local file after making them (and at least
// min_seg_size bytes) present. 0 at the end, while montage_abort is set, or on failure; a failed
// fetch sets montage_abort.
std::int32_t read_through(DownloadItem& item, std::uint8_t* buffer, std::int64_t position,
                          std::int32_t count, const SpanFetcher& fetch,
                          const ReaderSettings& settings);

// The download's file as the demuxer sees it: as large as the server says, every read served by
// read_through. The position is the item's reader_position, from 0 to kMaxFileSize.
class RemoteMediaReader final : public VirtualFile {
  public:
    RemoteMediaReader(DownloadItem& item, SpanFetcher fetch, ReaderSettings settings);

    std::int64_t size() override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    std::int32_t read(std::uint8_t* buffer, std::int32_t count) override;
    // The bytes from the position to the end of the range that holds it.
    std::int32_t read_local(std::uint8_t* buffer, std::int32_t count) override;
    // The library's open and close: the position becomes 0.
    void rewind();

  private:
    DownloadItem& item_;
    SpanFetcher fetch_;
    ReaderSettings settings_;
};

}  // namespace rg
