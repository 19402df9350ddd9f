#include "cli/run_command.h"

#include <algorithm>
#include <cstdio>

#include "cli/answering_host.h"
#include "cli/controller_loop.h"
#include "cli/tool_session.h"

namespace rg {

namespace {

constexpr std::int32_t kFewestConcurrent = 1;

// What automatic downloading would start: Stopped, no worker, scheduled, not failed under it.
bool waits_for_automatic_start(DownloadItem& item) {
    if (item.state.load() != ItemState::Stopped || item.worker_active.load() ||
        item.auto_stopped.load()) {
        return false;
    }
    return item.lock()->saved.scheduled == 1;
}

bool any_waiting(const DownloadList& list) {
    return std::any_of(list.begin(), list.end(),
                       [](const auto& item) { return waits_for_automatic_start(*item); });
}

}  // namespace

int run_automatic_command(const std::string& data_dir, CommandArgs args) {
    if (!args.empty())
        return usage_error("'run' takes no arguments");
    ToolSession s(data_dir);
    if (!open_tool_session(data_dir, s))
        return kExitFailure;
    // Automatic downloading never starts anything below one.
    s.settings.update([](Settings& settings) {
        settings.ConcurrentDownloads = std::max(settings.ConcurrentDownloads, kFewestConcurrent);
    });
    if (!any_waiting(s.list)) {
        std::printf("No scheduled download is waiting.\n");
        return kExitOk;
    }

    AnsweringHost host(s.host);
    ControllerLoop loop(s, host);
    Controller& controller = loop.controller();
    bool stalled = false;
    // Every free place is filled at once rather than one start per timer tick; the tick's own
    // rules (the limit, the first waiting item) decide.
    const auto fill_free_places = [&] {
        for (;;) {
            const std::size_t before = controller.running_workers();
            controller.auto_download_tick();
            if (controller.running_workers() == before)
                break;
        }
        // Nothing runs and nothing could be started: no worker thread can be made.
        stalled = controller.running_workers() == 0 && any_waiting(s.list);
    };
    const auto work_left = [&] {
        return !stalled && (controller.running_workers() > 0 || any_waiting(s.list));
    };
    controller.set_auto_download(true);
    const LoopEnd end = loop.run(work_left, fill_free_places);
    if (end == LoopEnd::kInterrupted)
        return kExitInterrupted;
    const RunTally& tally = loop.tally();
    if (stalled) {
        std::fprintf(stderr, "rlg: no download could be started\n");
        return kExitFailure;
    }
    if (!tally.failed.empty()) {
        std::fprintf(stderr, "rlg: %zu download(s) ended with an error; they stay in the list\n",
                     tally.failed.size());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace rg
