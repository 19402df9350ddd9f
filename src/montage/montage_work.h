#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "montage/media_file.h"
#include "montage/montage_outcome.h"
#include "montage/montage_view.h"

namespace rg {

class DownloadItem;

// What the Montage's worker operations (open, frame fetch, AutoMontage) share with the media
// session that owns them. One worker runs at a time; the controller thread only sets the flags
// (Cancel, Close) and interrupts the item's connection.
class MontageWork {
  public:
    explicit MontageWork(MontageView& pane) : view(pane) {}
    MontageWork(const MontageWork&) = delete;
    MontageWork& operator=(const MontageWork&) = delete;

    MontageView& view;
    // The held item and its open video: set before a worker starts, used by that worker, changed
    // only while no worker runs or by the worker's own close.
    DownloadItem* item = nullptr;
    MediaFile* media = nullptr;

    // Close came while a worker ran: the worker closes the media when it ends.
    std::atomic<bool> close_requested{false};
    // Ends an AutoMontage before its next frame.
    std::atomic<bool> stop_request{false};
    // The Get Frame button cancels.
    std::atomic<bool> cancel_mode{false};

    // Starts an operation: montage_abort and the connection's interrupt are cleared, unless a
    // close has already asked the worker to end.
    void begin_operation();

    // The `downloaded this operation` counter and the `status prefix`. add_amount() is the
    // progress callback's part: it counts a block and shows the prefix with the download amount.
    void reset_amount();
    void add_amount(std::int64_t bytes);
    std::int64_t downloaded() const { return downloaded_.load(); }
    void set_prefix(std::string_view prefix);
    // The status line shows the prefix alone.
    void show_prefix();
    // The outcome of an operation: `text` when nothing was downloaded, else `prefix` (which
    // becomes the status prefix) with the download amount.
    void show_result(std::string_view text, std::string_view prefix);

    // The last frame that failed since clear_frame_failure(), and why. Any thread.
    void record_frame_failure(MontageFailure failure, std::string_view text);
    MontageOutcome last_frame_failure() const;
    void clear_frame_failure();

    // Get Frame button states: "Cancel" (cancel mode) or "&Get Frame#" (idle).
    void show_cancel_button(bool enabled);
    void show_idle_button(bool enabled);

  private:
    std::atomic<std::int64_t> downloaded_{0};
    std::mutex prefix_mutex_;
    std::string prefix_;
    mutable std::mutex failure_mutex_;
    MontageOutcome frame_failure_;
};

}  // namespace rg
