#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cli/live_progress.h"
#include "cli/tool_session.h"
#include "engine/controller.h"

namespace rg {

// The controller's parts from a tool session, with `host` for its questions.
Controller::Parts controller_parts(ToolSession& session, Host& host);

// What became of the downloads that one loop ran.
struct RunTally {
    std::int32_t completed = 0;
    // "name: status" of every run that ended without completing (paused ones not counted).
    std::vector<std::string> failed;
};

enum class LoopEnd { kDone, kInterrupted };

// The program's main loop for a command that runs downloads: a Controller over the session's
// list that serves the workers' messages and the timers, with a live progress line for every
// running download. Ctrl+C or SIGTERM pauses the running downloads; every loop ends with all
// workers stopped and the list saved.
class ControllerLoop {
  public:
    // `host` answers the controller's and the workers' questions; it outlives the loop.
    ControllerLoop(ToolSession& session, Host& host);
    ControllerLoop(const ControllerLoop&) = delete;
    ControllerLoop& operator=(const ControllerLoop&) = delete;

    Controller& controller() { return controller_; }

    // Serves the controller until `work_left` answers false or an interrupt arrives. `each_turn`,
    // when given, runs first in every turn (the place to start more downloads).
    LoopEnd run(const std::function<bool()>& work_left,
                const std::function<void()>& each_turn = {});

    const RunTally& tally() const { return tally_; }

  private:
    std::vector<DownloadItem*> running_items() const;
    // Stops every run and waits for the workers to end.
    void stop_every_run();
    // Pauses the running rows as the Pause command does; the number of rows.
    std::size_t pause_running();
    void on_completed(const DownloadItem& item);
    void on_worker_exited(const DownloadItem& item);

    ToolSession& session_;
    LiveProgress progress_;
    RunTally tally_;
    std::set<const DownloadItem*> completed_;
    bool stopping_ = false;
    // Last: it is destroyed first, so its workers end before the members they report to.
    Controller controller_;
};

}  // namespace rg
