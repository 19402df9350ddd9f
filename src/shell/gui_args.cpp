#include "shell/gui_args.h"

namespace rg {

namespace {

constexpr std::string_view kDataDirOption = "--data-dir";
constexpr std::string_view kDataDirPrefix = "--data-dir=";
// Everything after this is a URL, even when it starts with '-'.
constexpr std::string_view kEndOfOptions = "--";

}  // namespace

const char* const kGuiHelp =
    "Usage: reelgrab [--data-dir DIR] [URL...]\n"
    "\n"
    "Reelgrab's window: a download manager with the Montage. URLs given are offered in the\n"
    "New Download dialog; when Reelgrab already runs, its window is shown and the URLs go to it.\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR    keep the list and settings in DIR (default: beside the program when\n"
    "                    that folder is writable, else $XDG_DATA_HOME/reelgrab or\n"
    "                    ~/.local/share/reelgrab)\n"
    "  -h, --help        show this text\n"
    "  --version         show the version\n"
    "\n"
    "Without a display, use rlg, the command-line tool on the same list.\n";

const char* const kGuiVersion = "reelgrab (Reelgrab) " RG_VERSION "\n";

GuiArgs parse_gui_args(const std::vector<std::string_view>& args) {
    GuiArgs result;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (options_ended) {
            result.urls.emplace_back(arg);
        } else if (arg == kEndOfOptions) {
            options_ended = true;
        } else if (arg == "-h" || arg == "--help") {
            result.action = GuiArgs::Action::Help;
            return result;
        } else if (arg == "--version") {
            result.action = GuiArgs::Action::Version;
            return result;
        } else if (arg == kDataDirOption || arg == kDataDirPrefix) {
            if (arg == kDataDirPrefix || i + 1 >= args.size()) {
                result.action = GuiArgs::Action::Error;
                result.error = "--data-dir needs a folder";
                return result;
            }
            result.data_dir = std::string(args[++i]);
        } else if (arg.starts_with(kDataDirPrefix)) {
            result.data_dir = std::string(arg.substr(kDataDirPrefix.size()));
        } else if (arg.starts_with("-")) {
            result.action = GuiArgs::Action::Error;
            result.error = "unknown option '" + std::string(arg) + "'";
            return result;
        } else {
            result.urls.emplace_back(arg);
        }
    }
    return result;
}

}  // namespace rg
