#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "montage/montage_view.h"

namespace rg::test {

// A MontageView that keeps the pane's state and every status line shown, for tests. Safe to call
// from the session's worker thread; read it through the accessors, which copy under the lock.
class RecordingMontageView : public MontageView {
  public:
    struct StoryboardFrame {
        std::int32_t frame_number = 0;
        double time_seconds = 0.0;
        Picture picture;
    };

    void set_status_line(std::string_view text) override {
        std::lock_guard guard(mutex_);
        status_ = std::string(text);
        statuses_.push_back(status_);
    }
    void set_range_line(std::string_view text) override {
        std::lock_guard guard(mutex_);
        range_line_ = std::string(text);
    }
    void set_progress_range(std::int32_t low, std::int32_t high) override {
        std::lock_guard guard(mutex_);
        progress_low_ = low;
        progress_high_ = high;
    }
    void set_progress_position(std::int32_t position) override {
        std::lock_guard guard(mutex_);
        progress_position_ = position;
    }
    void add_info_line(std::string_view text) override {
        std::lock_guard guard(mutex_);
        info_.emplace_back(text);
    }
    void clear_info_lines() override {
        std::lock_guard guard(mutex_);
        info_.clear();
    }
    void set_get_frame_enabled(bool enabled) override {
        std::lock_guard guard(mutex_);
        get_frame_enabled_ = enabled;
    }
    void set_get_frame_text(std::string_view text) override {
        std::lock_guard guard(mutex_);
        get_frame_text_ = std::string(text);
    }
    void set_close_enabled(bool enabled) override {
        std::lock_guard guard(mutex_);
        close_enabled_ = enabled;
    }
    void set_mode_button_text(std::string_view text) override {
        std::lock_guard guard(mutex_);
        mode_text_ = std::string(text);
    }
    void set_frame_entry_enabled(bool enabled) override {
        std::lock_guard guard(mutex_);
        entry_enabled_ = enabled;
    }
    void set_frame_entry_text(std::string_view text) override {
        std::lock_guard guard(mutex_);
        entry_text_ = std::string(text);
    }
    void reject_frame_entry() override {
        std::lock_guard guard(mutex_);
        ++rejects_;
    }
    void show_frame(const Picture& picture) override {
        std::lock_guard guard(mutex_);
        shown_ = picture;
    }
    void clear_frame_view() override {
        std::lock_guard guard(mutex_);
        shown_ = Picture{};
        ++frame_view_clears_;
    }
    void append_to_storyboard(Picture picture, std::int32_t frame_number,
                              double time_seconds) override {
        std::lock_guard guard(mutex_);
        storyboard_.push_back({frame_number, time_seconds, std::move(picture)});
    }
    void clear_storyboard() override {
        std::lock_guard guard(mutex_);
        storyboard_.clear();
    }
    void show_montage_view() override {
        std::lock_guard guard(mutex_);
        ++montage_view_shown_;
    }

    std::string status() const { return locked(status_); }
    std::vector<std::string> statuses() const { return locked(statuses_); }
    std::string range_line() const { return locked(range_line_); }
    std::int32_t progress_high() const { return locked(progress_high_); }
    std::int32_t progress_position() const { return locked(progress_position_); }
    std::vector<std::string> info() const { return locked(info_); }
    bool get_frame_enabled() const { return locked(get_frame_enabled_); }
    std::string get_frame_text() const { return locked(get_frame_text_); }
    bool close_enabled() const { return locked(close_enabled_); }
    std::string mode_text() const { return locked(mode_text_); }
    bool entry_enabled() const { return locked(entry_enabled_); }
    std::string entry_text() const { return locked(entry_text_); }
    int rejects() const { return locked(rejects_); }
    int frame_view_clears() const { return locked(frame_view_clears_); }
    int montage_view_shown() const { return locked(montage_view_shown_); }
    std::vector<std::int32_t> storyboard_numbers() const {
        std::lock_guard guard(mutex_);
        std::vector<std::int32_t> numbers;
        for (const auto& f : storyboard_)
            numbers.push_back(f.frame_number);
        return numbers;
    }
    std::vector<StoryboardFrame> storyboard() const { return locked(storyboard_); }

  private:
    template <typename T>
    T locked(const T& value) const {
        std::lock_guard guard(mutex_);
        return value;
    }

    mutable std::mutex mutex_;
    std::string status_ = "Idle";
    std::vector<std::string> statuses_;
    std::string range_line_ = "Idle";
    std::int32_t progress_low_ = 0;
    std::int32_t progress_high_ = 0;
    std::int32_t progress_position_ = 0;
    std::vector<std::string> info_;
    bool get_frame_enabled_ = false;
    std::string get_frame_text_ = "Get Frame";
    bool close_enabled_ = false;
    std::string mode_text_ = "F>";
    bool entry_enabled_ = true;
    std::string entry_text_;
    int rejects_ = 0;
    Picture shown_;
    int frame_view_clears_ = 0;
    std::vector<StoryboardFrame> storyboard_;
    int montage_view_shown_ = 0;
};

}  // namespace rg::test
