#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

// The when-done actions that end the session or the machine.
enum class PowerAction {
    PowerOff,
    Reboot,
    LogOff,
    ForcedPowerOff,  // "Shutdown (Rough)": inhibitors are not asked
    ForcedReboot,    // "Restart (Rough)"
};

// Requests to the session manager. A request is only handed over: whether the system carries it
// out is not checked. Tests use a fake; no
// test may use the logind implementation's default runner.
class PowerActions {
  public:
    virtual ~PowerActions() = default;
    // True when the request was handed to the system.
    virtual bool request(PowerAction action) = 0;
};

// The command line that asks logind for `action`: "systemctl poweroff", "systemctl reboot",
// "loginctl terminate-session <id>", the forced forms with "--check-inhibitors=no". `session_id`
// is $XDG_SESSION_ID; when it is empty or not a plain session name, "self" (the caller's session)
// is used.
std::vector<std::string> logind_command(PowerAction action, std::string_view session_id);

// Starts a program (searched in PATH) with these arguments without waiting for it; it is reaped in
// the background. False when it could not be started.
bool spawn_detached(const std::vector<std::string>& argv);

// PowerActions through logind's command-line clients.
class LogindPowerActions : public PowerActions {
  public:
    using Runner = std::function<bool(const std::vector<std::string>&)>;

    // Runs the commands with spawn_detached; the session id is read from $XDG_SESSION_ID.
    LogindPowerActions();
    LogindPowerActions(Runner runner, std::string session_id);

    bool request(PowerAction action) override;

  private:
    Runner runner_;
    std::string session_id_;
};

}  // namespace rg
