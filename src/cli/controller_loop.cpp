#include "cli/controller_loop.h"

#include <cstdio>

#include "cli/interrupt.h"
#include "cli/row_texts.h"
#include "engine/command_targets.h"
#include "engine/selection.h"
#include "engine/transfer_worker.h"

namespace rg {

namespace {

// How long a turn waits for a worker's message; also how late an interrupt is noticed.
constexpr auto kTurnWait = std::chrono::milliseconds(100);
constexpr Tick kShowPeriodMs = 1000;
constexpr std::string_view kDoneText = "Done";
constexpr std::string_view kPausedText = "Paused";

}  // namespace

Controller::Parts controller_parts(ToolSession& session, Host& host) {
    Controller::Parts parts;
    parts.list = &session.list;
    parts.list_file = &session.list_file;
    parts.settings = &session.settings;
    parts.passwords = &session.passwords;
    parts.session = &session.http;
    parts.host = &host;
    return parts;
}

ControllerLoop::ControllerLoop(ToolSession& session, Host& host)
    : session_(session),
      progress_(stdout, session.host.output_mutex(), stdout_is_terminal()),
      controller_(controller_parts(session, host)) {
    controller_.on_completed = [this](const DownloadItem& item) { on_completed(item); };
    controller_.on_worker_exited = [this](const DownloadItem& item) { on_worker_exited(item); };
}

LoopEnd ControllerLoop::run(const std::function<bool()>& work_left,
                            const std::function<void()>& each_turn) {
    install_interrupt_handlers();
    Tick now = tick_count();
    controller_.run_due_timers(now);
    Tick next_show = now;
    while (!interrupted()) {
        if (each_turn)
            each_turn();
        if (!work_left())
            break;
        now = tick_count();
        if (static_cast<std::int32_t>(now - next_show) >= 0) {
            progress_.show(running_items(), now);
            next_show = now + kShowPeriodMs;
        }
        controller_.process_messages(kTurnWait);
        controller_.run_due_timers(tick_count());
    }
    const bool was_interrupted = interrupted();
    stopping_ = true;
    std::size_t paused = 0;
    if (was_interrupted)
        paused = pause_running();
    stop_every_run();
    controller_.save_list();
    progress_.close();
    if (was_interrupted) {
        std::lock_guard guard(session_.host.output_mutex());
        std::fprintf(stderr, "rlg: interrupted: %zu download(s) paused, the list is saved\n",
                     paused);
    }
    return was_interrupted ? LoopEnd::kInterrupted : LoopEnd::kDone;
}

std::vector<DownloadItem*> ControllerLoop::running_items() const {
    std::vector<DownloadItem*> running;
    for (const auto& item : session_.list) {
        if (item->state.load() == ItemState::Running || item->worker_active.load())
            running.push_back(item.get());
    }
    return running;
}

void ControllerLoop::stop_every_run() {
    // A worker created just before the stop sets its item Running only when it begins, after
    // the stop looked: it is stopped on a later turn instead of running to its end.
    while (controller_.running_workers() > 0) {
        for (const auto& item : session_.list) {
            if (item->state.load() == ItemState::Running)
                stop_item(*item, controller_.env());
        }
        controller_.process_messages(kTurnWait);
    }
    controller_.stop_all();
}

std::size_t ControllerLoop::pause_running() {
    Selection selection(session_.list.count());
    select_running(session_.list, selection);
    const std::vector<std::int32_t> rows =
        command_targets(CommandId::Pause, session_.list, selection);
    controller_.pause_selected(rows);
    return rows.size();
}

void ControllerLoop::on_completed(const DownloadItem& item) {
    completed_.insert(&item);
    ++tally_.completed;
    progress_.report(item, kDoneText);
}

void ControllerLoop::on_worker_exited(const DownloadItem& item) {
    // A completed item has left the list before its worker ends.
    if (completed_.erase(&item) > 0)
        return;
    if (stopping_) {
        progress_.report(item, kPausedText);
        return;
    }
    const std::string status = row_texts(item).status;
    tally_.failed.push_back(item.file_name() + ": " + status);
    progress_.report(item, "failed: " + status);
}

}  // namespace rg
