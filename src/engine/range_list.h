#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rg {

// A span of a download's file that is present locally: [start, start + length).
struct ByteRange {
    std::int64_t start = 0;
    std::int64_t length = 0;

    std::int64_t end() const { return start + length; }
    bool operator==(const ByteRange&) const = default;
};

// "%u : %u (%u bytes)" with the inclusive last byte, as the range dialog shows it.
std::string format_range(const ByteRange& range);

// The ranges of a download in ascending order, never overlapping nor touching: a block that
// touches or overlaps ranges joins them into one, so a byte is never counted twice and a gap
// between two ranges is never negative.
class RangeList {
  public:
    // Merges [start, start + length); the number of bytes it adds that no range held. The caller
    // has checked the bounds.
    std::int64_t add(std::int64_t start, std::int64_t length);
    bool remove(std::size_t index);
    void clear() { ranges_.clear(); }
    // Takes ranges as they are; the caller makes them sound (the list file's loader does).
    void assign(std::vector<ByteRange> ranges) { ranges_ = std::move(ranges); }

    std::size_t count() const { return ranges_.size(); }
    bool empty() const { return ranges_.empty(); }
    const ByteRange& operator[](std::size_t index) const { return ranges_[index]; }
    const std::vector<ByteRange>& items() const { return ranges_; }
    std::int64_t covered_bytes() const;

    // True when `total_size` is known and the first range is exactly [0, total_size).
    bool covers_whole(std::int64_t total_size) const;

  private:
    std::vector<ByteRange> ranges_;
};

}  // namespace rg
