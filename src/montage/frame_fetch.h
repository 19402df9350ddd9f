#pragma once

#include <cstdint>

#include "montage/montage_work.h"

namespace rg {

// One frame to fetch: its 0-based index and, for an AutoMontage, its place in the plan.
struct FrameRequest {
    std::int64_t index = 0;
    // Fetch the key frame at or before the index instead.
    bool key_search = false;
    bool automatic = false;
    std::uint32_t position = 0;  // 1-based, shown as "position/plan_size"
    std::uint32_t plan_size = 0;
    // The frame of the previous planned fetch: an automatic request that lands on it again, or
    // before it, is skipped.
    std::int64_t previous = -1;
};

// Decodes one frame of the open video on the Montage worker thread and appends it to the
// storyboard. The index of the frame that was added, or -1: no video or no decoder (the item's
// status text says which, and the AutoMontage stops), a repeat, a close, a failed or cancelled
// download ("Error Downloading Frame") or no picture ("Error Getting Frame"). Leaves the Get
// Frame button and the frame entry enabled.
std::int64_t fetch_frame(MontageWork& work, const FrameRequest& request);

}  // namespace rg
