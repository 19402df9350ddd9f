#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "cli/fetch_stats.h"
#include "montage/montage_view.h"
#include "montage/storyboard.h"
#include "montage/storyboard_entry.h"

namespace rg {

// The Montage pane of the command-line tool: the media information lines and the status line
// with the bytes fetched so far go to the terminal, the fetched frames are kept for the command.
// On a terminal the status line is redrawn in place; elsewhere (a pipe, a log) a line is written
// whenever the status changes by more than its download amount. Every call may come from any
// thread; output is serialised with the host's output mutex.
class TerminalMontageView final : public MontageView {
  public:
    struct Options {
        bool live = false;        // redraw the status line in place (stdout is a terminal)
        bool show_spans = false;  // a line for every span fetched
        StoryboardLimits limits;  // what the kept frames may hold
    };

    TerminalMontageView(std::FILE* out, std::mutex& output_mutex, FetchStats& stats,
                        Options options);

    void set_status_line(std::string_view text) override;
    void set_range_line(std::string_view text) override;
    void set_progress_range(std::int32_t low, std::int32_t high) override;
    void set_progress_position(std::int32_t position) override;
    void add_info_line(std::string_view text) override;
    void clear_info_lines() override;
    void set_get_frame_enabled(bool) override {}
    void set_get_frame_text(std::string_view) override {}
    void set_close_enabled(bool) override {}
    void set_mode_button_text(std::string_view) override {}
    void set_frame_entry_enabled(bool) override {}
    void set_frame_entry_text(std::string_view) override {}
    void reject_frame_entry() override;
    void show_frame(const Picture&) override {}
    void clear_frame_view() override {}
    void append_to_storyboard(Picture picture, std::int32_t frame_number,
                              double time_seconds) override;
    void clear_storyboard() override;
    void show_montage_view() override;

    // Ends a status line drawn in place, so that what follows starts on a line of its own.
    void end_live_line();
    // The frames kept so far, in order of arrival; the view keeps none afterwards.
    std::vector<StoryboardEntry> take_entries();
    std::vector<std::string> info_lines() const;
    std::string status() const;
    // Why the last frame handed to the storyboard could not be kept; empty when all were.
    std::string storyboard_failure() const;
    bool entry_rejected() const;

  private:
    // With the mutex held.
    void print_status();
    void print_line(std::string_view text);

    std::FILE* out_;
    std::mutex& mutex_;
    FetchStats& stats_;  // the view keeps its in_span (the progress position)
    const Options options_;

    std::string status_;
    std::string printed_phase_;  // the last status printed as a line, without its amount
    bool live_line_open_ = false;
    std::vector<std::string> info_;
    std::vector<StoryboardEntry> entries_;
    std::size_t entry_bytes_ = 0;
    std::string storyboard_failure_;
    bool rejected_ = false;
};

}  // namespace rg
