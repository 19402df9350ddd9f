#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace rg {

// The Montage's progress bar holds 32-bit values. A span of 2 GiB or more is shown in units of
// the smallest power of two bytes that brings its length within them.
class ProgressScale {
  public:
    explicit ProgressScale(std::int64_t span_length) {
        while ((span_length >> shift_) > kLargest)
            ++shift_;
    }

    // `bytes` of the span in the bar's units, kept within the bar's 32-bit range.
    std::int32_t units(std::int64_t bytes) const {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(bytes >> shift_, 0, kLargest));
    }

  private:
    static constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    int shift_ = 0;
};

}  // namespace rg
