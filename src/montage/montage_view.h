#pragma once

#include <cstdint>
#include <string_view>

#include "montage/picture.h"

namespace rg {

// What the media session writes to the Montage pane. The session calls it from the controller
// thread and from its worker thread (open, frame fetch, AutoMontage), so every method must be
// safe to call from any thread: the GUI queues each call to the GUI thread in the order it was
// made, the command-line tool and the tests record under a lock. No method may wait for the
// controller thread.
class MontageView {
  public:
    virtual ~MontageView() = default;

    virtual void set_status_line(std::string_view text) = 0;
    virtual void set_range_line(std::string_view text) = 0;
    virtual void set_progress_range(std::int32_t low, std::int32_t high) = 0;
    virtual void set_progress_position(std::int32_t position) = 0;

    // The media info list.
    virtual void add_info_line(std::string_view text) = 0;
    virtual void clear_info_lines() = 0;

    virtual void set_get_frame_enabled(bool enabled) = 0;
    virtual void set_get_frame_text(std::string_view text) = 0;
    virtual void set_close_enabled(bool enabled) = 0;
    virtual void set_mode_button_text(std::string_view text) = 0;

    virtual void set_frame_entry_enabled(bool enabled) = 0;
    virtual void set_frame_entry_text(std::string_view text) = 0;
    // The entry holds no usable time: the focus goes to it and the user hears a warning beep.
    virtual void reject_frame_entry() = 0;

    // The frame view shows `picture`, or nothing after clear_frame_view().
    virtual void show_frame(const Picture& picture) = 0;
    virtual void clear_frame_view() = 0;

    // A fetched frame for the storyboard: its 1-based number and its time in the video.
    virtual void append_to_storyboard(Picture picture, std::int32_t frame_number,
                                      double time_seconds) = 0;
    virtual void clear_storyboard() = 0;

    // Brings the Montage pane to the front (the main window's Montage view).
    virtual void show_montage_view() = 0;
};

}  // namespace rg
