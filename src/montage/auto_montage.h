#pragma once

#include <cstdint>
#include <vector>

#include "montage/montage_work.h"

namespace rg {

// Fewest frames an AutoMontage of a long video plans, and the most (a bound on the setting).
inline constexpr std::int32_t kAutoMontageMinFrames = 5;
inline constexpr std::int32_t kAutoMontageMaxFrames = 1000;

// The frames an AutoMontage asks for, in order: for up to 20 frames the middle one; up to 100
// frames 7, the middle and the seventh from the end; beyond that `auto_frame_count` frames
// (at least 5) from frame 10 to the tenth from the end, evenly spread and rounded up.
std::vector<std::int64_t> auto_montage_plan(std::uint32_t frame_count,
                                            std::int32_t auto_frame_count);

struct AutoMontageOutcome {
    std::uint32_t found = 0;  // frames added to the storyboard
    std::uint32_t planned = 0;
};

// Fetches the key frame at or before each planned frame, skipping a repeat of the previous one,
// until the plan ends, a failure or Cancel stops it, or a close is requested. Shows
// "AutoMontage Finished", or how many were found when fewer than planned.
AutoMontageOutcome run_auto_montage(MontageWork& work, std::int32_t auto_frame_count);

}  // namespace rg
