#include "montage/montage_work.h"

#include "engine/download_item.h"
#include "montage/montage_format.h"
#include "montage/montage_texts.h"
#include "protocols/transfer_ops.h"

namespace rg {

namespace {
// What the status prefix field holds at most.
constexpr std::size_t kStatusPrefixLimit = 1023;
}  // namespace

void MontageWork::begin_operation() {
    if (item == nullptr)
        return;
    item->montage_abort = false;
    reset_interrupt(item->connection);
    // A close that came before the flags were cleared must still end this operation.
    if (close_requested.load()) {
        item->montage_abort = true;
        interrupt_connection(item->connection);
    }
}

void MontageWork::reset_amount() {
    downloaded_ = 0;
}

void MontageWork::add_amount(std::int64_t bytes) {
    const std::int64_t block = bytes > 0 ? bytes : 0;
    const std::int64_t total = downloaded_.fetch_add(block) + block;
    std::string text;
    {
        std::lock_guard guard(prefix_mutex_);
        text = with_download_amount(prefix_, total);
    }
    view.set_status_line(text);
}

void MontageWork::set_prefix(std::string_view prefix) {
    std::lock_guard guard(prefix_mutex_);
    prefix_ = std::string(prefix.substr(0, kStatusPrefixLimit));
}

void MontageWork::show_prefix() {
    std::string text;
    {
        std::lock_guard guard(prefix_mutex_);
        text = prefix_;
    }
    view.set_status_line(text);
}

void MontageWork::show_result(std::string_view text, std::string_view prefix) {
    const std::int64_t amount = downloaded_.load();
    if (amount == 0) {
        view.set_status_line(text);
        return;
    }
    set_prefix(prefix);
    view.set_status_line(with_download_amount(prefix.substr(0, kStatusPrefixLimit), amount));
}

void MontageWork::record_frame_failure(MontageFailure failure, std::string_view text) {
    std::lock_guard guard(failure_mutex_);
    frame_failure_ = {failure, std::string(text)};
}

MontageOutcome MontageWork::last_frame_failure() const {
    std::lock_guard guard(failure_mutex_);
    return frame_failure_;
}

void MontageWork::clear_frame_failure() {
    std::lock_guard guard(failure_mutex_);
    frame_failure_ = {};
}

void MontageWork::show_cancel_button(bool enabled) {
    view.set_get_frame_enabled(enabled);
    cancel_mode = true;
    view.set_get_frame_text(kCancelText);
}

void MontageWork::show_idle_button(bool enabled) {
    view.set_get_frame_enabled(enabled);
    cancel_mode = false;
    view.set_get_frame_text(kGetFrameIdleText);
}

}  // namespace rg
