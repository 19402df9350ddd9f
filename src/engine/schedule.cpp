#include "engine/schedule.h"

#include <ctime>

namespace rg {

ClockTime local_clock_time() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr)
        return {};
    return {local.tm_hour, local.tm_min};
}

SchedulingDialogValues scheduling_dialog_values(const Schedule& schedule) {
    SchedulingDialogValues values;
    values.start_checked = false;
    values.start_time = schedule.start_time;
    values.stop_checked = false;
    values.stop_time = schedule.stop_time;
    values.when_done = schedule.when_done;
    return values;
}

void apply_scheduling_dialog(Schedule& schedule, const SchedulingDialogValues& values) {
    schedule.start_enabled = values.start_checked;
    schedule.stop_enabled = values.stop_checked;
    schedule.start_time = values.start_time;
    schedule.stop_time = values.stop_time;
    schedule.when_done =
        values.when_done < 0 || values.when_done > kWhenDoneLast ? 0 : values.when_done;
}

ScheduleFiring take_due_schedule(Schedule& schedule, ClockTime now) {
    ScheduleFiring fired;
    if (schedule.start_enabled && schedule.start_time == now) {
        fired.start = true;
        schedule.start_enabled = false;
    }
    if (schedule.stop_enabled && schedule.stop_time == now) {
        fired.stop = true;
        schedule.stop_enabled = false;
    }
    return fired;
}

}  // namespace rg
