#pragma once

#include <memory>
#include <string>

#include "platform/host.h"
#include "platform/power_actions.h"
#include "shell/app_session.h"
#include "shell/clipboard_source.h"
#include "shell/controller_pump.h"
#include "shell/forwarding_host.h"
#include "shell/gui_args.h"
#include "shell/gui_host.h"
#include "shell/main_window.h"
#include "shell/single_instance.h"

namespace rg {

inline constexpr int kFatalExitCode = -1;
inline constexpr std::string_view kListFileFailedText =
    "Error finding or creating DlList File, Aborting...";

// The program over one data folder, from start-up to exit. A QApplication must exist.
class GuiApp {
  public:
    // `dialog_host` answers the core's questions. `gui_host` is the same when it is the window's
    // GuiHost (null in tests with a scripted host). `clipboard` null: the system clipboard.
    GuiApp(std::string data_dir, Host& dialog_host, GuiHost* gui_host = nullptr,
           std::unique_ptr<ClipboardSource> clipboard = {});
    ~GuiApp();

    enum class StartResult { Started, HandedOver, Failed };
    // The start-up sequence: the list file and its lock, settings, site passwords, the list, the
    // window with its rows, the timers, the instance server, and last the clipboard monitor. On
    // failure the reason has been shown.
    StartResult start(const std::vector<std::string>& urls);

    // Ends the program without asking (a termination signal): the exit routine, then the loop
    // ends. The window's close events, which otherwise keep the program in the tray, let it go.
    void exit_now();

    // Takes a second start's activation: the window comes forward and its URLs are offered.
    void activate(const Activation& activation);

    MainWindow* window() const { return window_.get(); }
    Controller& controller() { return *controller_; }
    AppSession& session() { return session_; }
    ControllerPump& pump() { return *pump_; }

  private:
    ForwardingHost host_;
    GuiHost* gui_host_;
    AppSession session_;
    LogindPowerActions power_;
    std::unique_ptr<ClipboardSource> clipboard_;
    std::unique_ptr<Controller> controller_;
    std::unique_ptr<ControllerPump> pump_;
    std::unique_ptr<MainWindow> window_;
    InstanceServer server_;
};

// main() of the window program.
int run_gui(int argc, char** argv);

// The line printed instead of Qt's own error when there is no display.
extern const char* const kNoDisplayText;
// True when a display is there to open the window on (or a platform was asked for by name).
bool display_available();

}  // namespace rg
