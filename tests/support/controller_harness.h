#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "engine/controller.h"
#include "protocols/http_session.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg::test {

// The parts a program brings up around its controller, in a temporary data folder with a
// scripted host, for tests that run whole downloads. Downloads go to folder out().
class ControllerHarness {
  public:
    ControllerHarness();
    ~ControllerHarness();

    // The file list opened and the controller made; false when the list could not be opened.
    bool start();
    // Pushes the settings into the HTTP session, as applying the options does.
    void apply_settings();

    // A new download of `url` into out()/`name` (created empty when missing).
    DownloadList::ItemPtr add(const std::string& url, const std::string& name, bool resumable);

    // Starts the item and runs the controller until its worker has ended; false at the deadline.
    // `each_turn` runs after every turn of the loop.
    bool run(DownloadItem& item, const std::function<void()>& each_turn = {},
             std::chrono::seconds deadline = std::chrono::seconds(60));

    const std::string& out() const { return out_; }

    // Set before start(): what the controller is made with besides the harness's own parts.
    std::function<Tick()> now = tick_count;
    std::function<ClockTime()> clock_time = local_clock_time;
    MontageLink* montage = nullptr;
    PowerActions* power = nullptr;

    TempDir dir;
    RecordingHost host;
    ListFile list_file{dir.path(), host};
    IniStore ini{dir.file("rlg.ini")};
    SitePasswordList passwords{ini};
    SettingsStore settings;
    HttpSession http{HttpSessionOptions{}};
    DownloadList list;
    std::unique_ptr<Controller> controller;
    std::set<const DownloadItem*> exited;
    std::set<const DownloadItem*> completed;

  private:
    std::string out_ = dir.file("out");
};

}  // namespace rg::test
