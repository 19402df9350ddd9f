#include "engine/range_list.h"

#include <cstdio>

namespace rg {

std::string format_range(const ByteRange& range) {
    char text[64];
    std::snprintf(text, sizeof text, "%u : %u (%u bytes)", static_cast<unsigned>(range.start),
                  static_cast<unsigned>(range.start + range.length - 1),
                  static_cast<unsigned>(range.length));
    return text;
}

void RangeList::add(std::int32_t start, std::int32_t length) {
    const std::int64_t end = static_cast<std::int64_t>(start) + length;
    for (std::size_t i = 0; i < ranges_.size(); ++i) {
        ByteRange& r = ranges_[i];
        if (r.start == end) {
            r.start = start;
            r.length += length;
            return;
        }
        if (r.start > start) {
            ranges_.insert(ranges_.begin() + static_cast<std::ptrdiff_t>(i), {start, length});
            return;
        }
        if (start == r.end()) {
            const bool fills_gap = i + 1 < ranges_.size() && ranges_[i + 1].start == end;
            if (!fills_gap) {
                r.length += length;
                return;
            }
            r.length += length + ranges_[i + 1].length;
            ranges_.erase(ranges_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return;
        }
    }
    ranges_.push_back({start, length});
}

bool RangeList::remove(std::size_t index) {
    if (index >= ranges_.size())
        return false;
    ranges_.erase(ranges_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

std::int64_t RangeList::covered_bytes() const {
    std::int64_t sum = 0;
    for (const auto& r : ranges_)
        sum += r.length;
    return sum;
}

bool RangeList::covers_whole(std::int32_t total_size) const {
    return total_size > 0 && !ranges_.empty() && ranges_[0].start == 0 &&
           ranges_[0].length == total_size;
}

}  // namespace rg
