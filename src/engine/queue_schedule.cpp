// The download queue and the schedule: starting a run, automatic downloading, the
// one-shot start and stop times and the when-done actions.
#include "engine/controller.h"
#include "engine/status_texts.h"

namespace rg {

namespace {

PowerAction power_action_for(WhenDone action) {
    switch (action) {
        case WhenDone::Restart:
            return PowerAction::Reboot;
        case WhenDone::LogOff:
            return PowerAction::LogOff;
        case WhenDone::ShutdownRough:
            return PowerAction::ForcedPowerOff;
        case WhenDone::RestartRough:
            return PowerAction::ForcedReboot;
        default:
            return PowerAction::PowerOff;
    }
}

}  // namespace

void Controller::start_download(DownloadItem& item, bool automatic) {
    const ItemState state = item.state.load();
    if (state == ItemState::MontageHeld) {
        item.restart_on_close = true;
        return;
    }
    // The state becomes Running only when the worker begins: a worker that exists (created, or
    // still winding down) keeps the item from getting a second one.
    if (state == ItemState::Running || item.worker_active.load())
        return;
    if (state == ItemState::InfoHeld) {
        if (info_window_.item() == &item)
            info_window_.close();
        else
            item.state = ItemState::Stopped;
    }
    item.release_file();
    item.auto_started = automatic;
    item.completed = false;

    const std::int32_t index = parts_.list->index_of(&item);
    DownloadList::ItemPtr keep = index >= 0 ? parts_.list->shared_at(index) : nullptr;
    join_worker(&item);
    item.worker_active = true;
    try {
        std::thread thread([this, &item] {
            worker_main(item, env_);
            push({Message::Kind::WorkerExited, MessageId::Refresh, &item, nullptr});
        });
        workers_[&item] = Worker{std::move(thread), std::move(keep)};
    } catch (const std::system_error&) {
        item.worker_active = false;
        if (parts_.host != nullptr) {
            parts_.host->message_box(kThreadFailedText, kSystemErrorCaption, MessageButtons::Ok,
                                     MessageIcon::Error);
        }
    }
    notify_state_changed();
}

void Controller::set_auto_download(bool on) {
    for (Timer& t : timers_) {
        if (t.id != TimerId::AutoDownload)
            continue;
        // As SetTimer and KillTimer: switching on (again) starts a full period.
        t.active = on && !exiting_;
        t.due = env_.now() + t.period;
    }
    auto_download_ = on;
    if (!on) {
        for (const auto& item : *parts_.list)
            item->auto_stopped = false;
    }
    notify_state_changed();
}

void Controller::toggle_auto_download() {
    set_auto_download(!auto_download_);
}

bool Controller::counts_as_running(const DownloadItem& item) const {
    const ItemState state = item.state.load();
    return state == ItemState::Running || state == ItemState::MontageHeld ||
           item.worker_active.load();
}

void Controller::auto_download_tick() {
    std::int32_t scheduled = 0;
    std::int32_t running = 0;
    for (const auto& item : *parts_.list) {
        if (item->lock()->saved.scheduled != 0)
            ++scheduled;
        if (counts_as_running(*item))
            ++running;
    }
    if (scheduled == 0) {
        run_when_done();
        return;
    }
    const std::int32_t limit =
        parts_.settings != nullptr ? parts_.settings->snapshot().ConcurrentDownloads : 4;
    if (running >= limit)
        return;
    for (const auto& item : *parts_.list) {
        if (item->state.load() != ItemState::Stopped || item->worker_active.load())
            continue;
        if (item->lock()->saved.scheduled != 1 || item->auto_stopped.load())
            continue;
        DownloadList::ItemPtr keep = item;
        start_download(*keep, true);
        return;
    }
}

void Controller::schedule_check(ClockTime now) {
    const ScheduleFiring fired = take_due_schedule(schedule_, now);
    if (fired.start && !auto_download_)
        set_auto_download(true);
    if (fired.stop) {
        if (auto_download_)
            set_auto_download(false);
        run_when_done();
    }
}

SchedulingDialogValues Controller::scheduling_dialog_values() const {
    return rg::scheduling_dialog_values(schedule_);
}

void Controller::apply_scheduling_dialog(const SchedulingDialogValues& values) {
    rg::apply_scheduling_dialog(schedule_, values);
}

void Controller::run_when_done() {
    // "Close Reelgrab" asks a question; a timer that fires meanwhile must not ask again.
    if (in_when_done_ || exiting_)
        return;
    in_when_done_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{in_when_done_};

    const auto action = static_cast<WhenDone>(schedule_.when_done);
    switch (action) {
        case WhenDone::CloseReelgrab:
            exit_prompt();
            return;
        case WhenDone::Shutdown:
        case WhenDone::Restart:
        case WhenDone::LogOff:
        case WhenDone::ShutdownRough:
        case WhenDone::RestartRough:
            if (parts_.power != nullptr)
                parts_.power->request(power_action_for(action));
            return;
        case WhenDone::DoNothing:
        case WhenDone::Unlisted:
            return;
    }
}

}  // namespace rg
