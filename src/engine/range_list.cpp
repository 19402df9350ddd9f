#include "engine/range_list.h"

#include <algorithm>
#include <cstdio>

namespace rg {

std::string format_range(const ByteRange& range) {
    char text[64];
    std::snprintf(text, sizeof text, "%llu : %llu (%llu bytes)",
                  static_cast<unsigned long long>(range.start),
                  static_cast<unsigned long long>(range.end() - 1),
                  static_cast<unsigned long long>(range.length));
    return text;
}

std::int64_t RangeList::add(std::int64_t start, std::int64_t length) {
    if (length <= 0)
        return 0;
    std::int64_t merged_start = start;
    std::int64_t merged_end = start + length;
    // The first range that ends at or after the block's start: it and the ones after it that
    // begin at or before the block's end touch or overlap the block.
    auto first = ranges_.begin();
    while (first != ranges_.end() && first->end() < merged_start)
        ++first;
    auto last = first;
    std::int64_t held = 0;
    while (last != ranges_.end() && last->start <= merged_end) {
        merged_start = std::min(merged_start, last->start);
        merged_end = std::max(merged_end, last->end());
        held += last->length;
        ++last;
    }
    const ByteRange merged{merged_start, merged_end - merged_start};
    first = ranges_.erase(first, last);
    ranges_.insert(first, merged);
    return std::max<std::int64_t>(0, merged.length - held);
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

bool RangeList::covers_whole(std::int64_t total_size) const {
    return total_size > 0 && !ranges_.empty() && ranges_[0].start == 0 &&
           ranges_[0].length == total_size;
}

}  // namespace rg
