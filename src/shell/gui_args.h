#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rg {

// `reelgrab [--data-dir DIR] [URL...]`, `--version`, `--help`.
struct GuiArgs {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string data_dir;  // empty: the usual data folder rules
    std::vector<std::string> urls;
    std::string error;  // for Action::Error
};

// Arguments as main() receives them, without the program name.
GuiArgs parse_gui_args(const std::vector<std::string_view>& args);

extern const char* const kGuiHelp;
extern const char* const kGuiVersion;

}  // namespace rg
