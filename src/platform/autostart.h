#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_ops.h"

namespace rg {

inline constexpr std::string_view kAutostartEntryName = "reelgrab.desktop";

enum class AutostartError {
    kNone,
    kBadExecutablePath,  // not absolute, not UTF-8, or holds control characters
    kWriteFailed,
    kRemoveFailed,
};

// $XDG_CONFIG_HOME, or $HOME/.config; nullopt when neither is an absolute path.
std::optional<std::string> config_folder(std::string_view xdg_config_home, std::string_view home);
std::optional<std::string> default_config_folder();

// <config folder>/autostart/reelgrab.desktop
std::string autostart_entry_path(std::string_view config_folder);

// The entry's text, starting `executable_path` with no arguments; nullopt when the path cannot
// be written into a valid entry.
std::optional<std::string> autostart_entry_text(std::string_view executable_path);

// Writes the entry (creating the autostart folder, 0700, when needed), replacing any old one.
AutostartError set_autostart(std::string_view config_folder, std::string_view executable_path,
                             FileOps& ops = system_file_ops());

// Removes the entry; an entry that is not there is not an error.
AutostartError clear_autostart(std::string_view config_folder);

// The absolute path of the running program, from /proc/self/exe.
std::optional<std::string> current_executable_path();

}  // namespace rg
