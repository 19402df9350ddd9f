#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace rg {

// A time of day as the schedule compares it: hour (0-23) and minute (0-59). The dialog's pickers
// keep a whole date and time; only these two take part.
struct ClockTime {
    int hour = 0;
    int minute = 0;

    bool operator==(const ClockTime&) const = default;
};

// The local wall-clock time now.
ClockTime local_clock_time();

// The when-done actions, by their index in the Scheduling dialog's list (7 is never listed and,
// like 0, does nothing).
enum class WhenDone : std::int32_t {
    DoNothing = 0,
    CloseReelgrab = 1,
    Shutdown = 2,
    Restart = 3,
    LogOff = 4,
    ShutdownRough = 5,
    RestartRough = 6,
    Unlisted = 7,
};

// The texts of the dialog's list, in index order.
inline constexpr std::array<std::string_view, 7> kWhenDoneTexts = {
    "Do Nothing", "Close Reelgrab",   "Shutdown PC",     "Restart PC",
    "Log Off",    "Shutdown (Rough)", "Restart (Rough)",
};

inline constexpr std::int32_t kWhenDoneLast = 7;

// The scheduling values. None is saved: every run of the program starts with both times disarmed
// and "Do Nothing".
struct Schedule {
    bool start_enabled = false;
    ClockTime start_time;
    bool stop_enabled = false;
    ClockTime stop_time;
    std::int32_t when_done = 0;
};

// What the Scheduling dialog shows and returns: the two check boxes ("Automatic downloading should
// start at :", "... stop at :"), the two pickers and the selection of the action list.
struct SchedulingDialogValues {
    bool start_checked = false;
    ClockTime start_time;
    bool stop_checked = false;
    ClockTime stop_time;
    std::int32_t when_done = 0;  // the list's selection; -1 when nothing is selected
};

// The dialog's opening values: the stored times and action; the boxes open unchecked whatever is
// armed, so OK without ticking them disarms both times.
SchedulingDialogValues scheduling_dialog_values(const Schedule& schedule);

// "OK": arms a time exactly when its box is ticked, takes both times, and the action (0 when the
// selection is below 0 or above 7). "Cancel" simply does not call this.
void apply_scheduling_dialog(Schedule& schedule, const SchedulingDialogValues& values);

// Which one-shot times fired at `now` (hour and minute equal); each that fired is disarmed. With
// both times equal both fire in the same check, the start first.
struct ScheduleFiring {
    bool start = false;
    bool stop = false;
};
ScheduleFiring take_due_schedule(Schedule& schedule, ClockTime now);

}  // namespace rg
