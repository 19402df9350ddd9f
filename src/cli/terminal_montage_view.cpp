#include "cli/terminal_montage_view.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/download_item.h"
#include "montage/montage_texts.h"

namespace rg {

namespace {

constexpr std::string_view kAmountEnd = " downloaded)";
constexpr std::string_view kClearToEnd = "\x1b[K";
constexpr std::string_view kInvalidFrameText = "The frame is not a usable picture";

// The status without the download amount that the progress callback appends to it.
std::string_view phase_of(std::string_view status) {
    if (!status.ends_with(kAmountEnd))
        return status;
    const auto open = status.rfind('(');
    return open == std::string_view::npos ? status : status.substr(0, open);
}

std::string fetched_text(std::int64_t bytes) {
    return "[" + format_size(std::max<std::int64_t>(bytes, 0)) + " fetched]";
}

// Keeps what a terminal could be told to do out of a server's or a file's text.
std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool control = (byte < 0x20 && c != '\t') || byte == 0x7f;
        out.push_back(control ? ' ' : c);
    }
    return out;
}

}  // namespace

TerminalMontageView::TerminalMontageView(std::FILE* out, std::mutex& output_mutex,
                                         FetchStats& stats, Options options)
    : out_(out), mutex_(output_mutex), stats_(stats), options_(options) {}

void TerminalMontageView::set_status_line(std::string_view text) {
    std::lock_guard guard(mutex_);
    status_ = printable(text);
    print_status();
}

void TerminalMontageView::set_range_line(std::string_view text) {
    if (!options_.show_spans)
        return;
    std::lock_guard guard(mutex_);
    print_line(printable(text));
}

void TerminalMontageView::set_progress_range(std::int32_t /*low*/, std::int32_t /*high*/) {}

void TerminalMontageView::set_progress_position(std::int32_t position) {
    // The progress bar's position: the bytes of the running span. The status line that follows
    // every block shows them.
    stats_.in_span = position;
}

void TerminalMontageView::add_info_line(std::string_view text) {
    std::lock_guard guard(mutex_);
    info_.push_back(printable(text));
    print_line(info_.back());
}

void TerminalMontageView::clear_info_lines() {
    std::lock_guard guard(mutex_);
    info_.clear();
}

void TerminalMontageView::reject_frame_entry() {
    std::lock_guard guard(mutex_);
    rejected_ = true;
}

void TerminalMontageView::append_to_storyboard(Picture picture, std::int32_t frame_number,
                                               double time_seconds) {
    // The thumbnail is made outside the lock: the worker alone calls this.
    std::optional<StoryboardEntry> entry =
        make_storyboard_entry(std::move(picture), frame_number, time_seconds);
    std::lock_guard guard(mutex_);
    if (!entry) {
        storyboard_failure_ = kInvalidFrameText;
        return;
    }
    const StoryboardLimits& limits = options_.limits;
    const bool full =
        entries_.size() >= static_cast<std::size_t>(std::max(0, limits.max_entries)) ||
        entry_bytes_ > limits.max_bytes || entry->bytes() > limits.max_bytes - entry_bytes_;
    if (full) {
        storyboard_failure_ = kStoryboardFullText;
        return;
    }
    entry_bytes_ += entry->bytes();
    entries_.push_back(std::move(*entry));
}

void TerminalMontageView::clear_storyboard() {
    std::lock_guard guard(mutex_);
    entries_.clear();
    entry_bytes_ = 0;
}

void TerminalMontageView::show_montage_view() {}

void TerminalMontageView::end_live_line() {
    std::lock_guard guard(mutex_);
    if (live_line_open_) {
        std::fputc('\n', out_);
        std::fflush(out_);
        live_line_open_ = false;
    }
}

std::vector<StoryboardEntry> TerminalMontageView::take_entries() {
    std::lock_guard guard(mutex_);
    std::vector<StoryboardEntry> taken = std::move(entries_);
    entries_.clear();
    entry_bytes_ = 0;
    return taken;
}

std::vector<std::string> TerminalMontageView::info_lines() const {
    std::lock_guard guard(mutex_);
    return info_;
}

std::string TerminalMontageView::status() const {
    std::lock_guard guard(mutex_);
    return status_;
}

std::string TerminalMontageView::storyboard_failure() const {
    std::lock_guard guard(mutex_);
    return storyboard_failure_;
}

bool TerminalMontageView::entry_rejected() const {
    std::lock_guard guard(mutex_);
    return rejected_;
}

void TerminalMontageView::print_status() {
    const std::string fetched = fetched_text(stats_.live_bytes());
    if (options_.live) {
        std::fprintf(out_, "\r%s %s%s", status_.c_str(), fetched.c_str(), kClearToEnd.data());
        live_line_open_ = true;
    } else {
        const std::string_view phase = phase_of(status_);
        if (phase == printed_phase_)
            return;
        printed_phase_ = std::string(phase);
        std::fprintf(out_, "%s %s\n", status_.c_str(), fetched.c_str());
    }
    std::fflush(out_);
}

void TerminalMontageView::print_line(std::string_view text) {
    const std::string line(text);
    if (options_.live && live_line_open_) {
        std::fprintf(out_, "\r%s%s\n", line.c_str(), kClearToEnd.data());
        live_line_open_ = false;
        print_status();
        return;
    }
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

}  // namespace rg
