#include "platform/power_actions.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace rg {

namespace {

constexpr std::string_view kSelfSession = "self";
constexpr std::string_view kNoInhibitorCheck = "--check-inhibitors=no";

// A logind session name is letters, digits and underscores; anything else (empty, or text that
// the client could read as an option) falls back to the caller's own session.
bool plain_session_name(std::string_view id) {
    if (id.empty())
        return false;
    for (const char c : id) {
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> logind_command(PowerAction action, std::string_view session_id) {
    switch (action) {
        case PowerAction::PowerOff:
            return {"systemctl", "poweroff"};
        case PowerAction::Reboot:
            return {"systemctl", "reboot"};
        case PowerAction::ForcedPowerOff:
            return {"systemctl", "poweroff", std::string(kNoInhibitorCheck)};
        case PowerAction::ForcedReboot:
            return {"systemctl", "reboot", std::string(kNoInhibitorCheck)};
        case PowerAction::LogOff:
            return {"loginctl", "terminate-session",
                    std::string(plain_session_name(session_id) ? session_id : kSelfSession)};
    }
    return {};
}

bool spawn_detached(const std::vector<std::string>& argv) {
    if (argv.empty())
        return false;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return false;
    // The client may wait for a polkit agent; the caller must not.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

LogindPowerActions::LogindPowerActions() : runner_(spawn_detached) {
    const char* id = std::getenv("XDG_SESSION_ID");
    session_id_ = id != nullptr ? id : "";
}

LogindPowerActions::LogindPowerActions(Runner runner, std::string session_id)
    : runner_(std::move(runner)), session_id_(std::move(session_id)) {}

bool LogindPowerActions::request(PowerAction action) {
    const auto command = logind_command(action, session_id_);
    return !command.empty() && runner_ && runner_(command);
}

}  // namespace rg
