#include "montage/auto_montage.h"

#include <algorithm>
#include <cmath>

#include "montage/frame_entry.h"
#include "montage/frame_fetch.h"
#include "montage/montage_format.h"
#include "montage/montage_texts.h"

namespace rg {

namespace {

constexpr std::uint32_t kShortVideoFrames = 20;
constexpr std::uint32_t kMediumVideoFrames = 100;
constexpr std::int64_t kMediumVideoMargin = 7;
constexpr std::int64_t kLongVideoMargin = 10;
constexpr double kHalf = 0.5;

}  // namespace

std::vector<std::int64_t> auto_montage_plan(std::uint32_t frame_count,
                                            std::int32_t auto_frame_count) {
    const auto f = static_cast<std::int64_t>(frame_count);
    const auto middle = static_cast<std::int64_t>(std::ceil(static_cast<double>(f) * kHalf));
    if (frame_count <= kShortVideoFrames)
        return {middle};
    if (frame_count <= kMediumVideoFrames)
        return {kMediumVideoMargin, middle, f - kMediumVideoMargin};

    const std::int32_t n =
        std::clamp(auto_frame_count, kAutoMontageMinFrames, kAutoMontageMaxFrames);
    std::vector<std::int64_t> plan(static_cast<std::size_t>(n));
    plan.front() = kLongVideoMargin;
    plan.back() = f - kLongVideoMargin;
    for (std::int32_t i = 1; i <= n - 2; ++i) {
        plan[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(
            std::ceil(static_cast<double>(f) * static_cast<double>(i) / static_cast<double>(n)));
    }
    return plan;
}

AutoMontageOutcome run_auto_montage(MontageWork& work, std::int32_t auto_frame_count) {
    AutoMontageOutcome outcome;
    if (work.media == nullptr)
        return outcome;
    const std::uint32_t frame_count = work.media->header().frame_count;
    const std::vector<std::int64_t> plan = auto_montage_plan(frame_count, auto_frame_count);
    outcome.planned = static_cast<std::uint32_t>(plan.size());

    // The last key frame added: a planned frame whose key frame is that one again is skipped,
    // also when frames in between were skipped or failed.
    std::int64_t previous = -1;
    work.stop_request = false;
    for (const std::int64_t planned : plan) {
        if (work.stop_request.load() || work.close_requested.load())
            break;
        FrameRequest request;
        request.index = clamp_frame_index(planned, frame_count);
        request.key_search = true;
        request.automatic = true;
        request.position = outcome.found + 1;
        request.plan_size = outcome.planned;
        request.previous = previous;
        const std::int64_t added = fetch_frame(work, request);
        if (added >= 0) {
            previous = added;
            ++outcome.found;
        }
    }
    work.view.set_status_line(outcome.found == outcome.planned
                                  ? std::string(kAutoMontageDoneText)
                                  : format_text(kAutoMontageShortFormat, outcome.found));
    return outcome;
}

}  // namespace rg
