// rlg: the command-line tool on the same core as the GUI, working on the same list and settings.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/get_command.h"
#include "cli/terminal_host.h"
#include "engine/list_file.h"
#include "platform/data_dir.h"

namespace rg {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kHelp =
    "Usage: rlg [--data-dir DIR] COMMAND [ARGS]\n"
    "\n"
    "Reelgrab's command-line tool. It works on the same download list (RGList.rgl) and\n"
    "settings (rlg.ini) as the Reelgrab window; only one of them can use a data folder at a time.\n"
    "\n"
    "Commands:\n"
    "  get URL... [-d DIR]\n"
    "                    download the URLs into DIR (default: the current folder); a URL that\n"
    "                    is already in the list continues from the bytes it has. Exits 0 when\n"
    "                    every download completed\n"
    "  info URL          show what the server says of an HTTP(S) URL: status, size, range\n"
    "                    support and the file name it offers\n"
    "  list              show the downloads in the list with their progress\n"
    "  help              show this text\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR    keep the list and settings in DIR (default: beside the program when\n"
    "                    that folder is writable, else $XDG_DATA_HOME/reelgrab or\n"
    "                    ~/.local/share/reelgrab)\n"
    "  -h, --help        show this text\n"
    "  --version         show the version\n";

constexpr const char* kVersion = "rlg (Reelgrab) 0.1.0\n";

const char* describe(DataDirError error) {
    switch (error) {
        case DataDirError::kNone:
            return "no error";
        case DataDirError::kNoHome:
            return "no home folder to keep the data in";
        case DataDirError::kCannotCreate:
            return "the data folder cannot be created";
        case DataDirError::kNotWritable:
            return "the data folder is not writable";
    }
    return "unknown error";
}

const char* state_name(ItemState state) {
    switch (state) {
        case ItemState::Running:
            return "running";
        case ItemState::Stopped:
            return "stopped";
        case ItemState::MontageHeld:
            return "montage";
        case ItemState::InfoHeld:
            return "info";
    }
    return "?";
}

int run_list(const std::string& data_dir) {
    TerminalHost host;
    ListFile file(data_dir, host);
    if (!open_list_file(data_dir, file))
        return kExitFailure;
    DownloadList list;
    file.load(list);
    if (list.empty()) {
        std::printf("The download list is empty.\n");
        return kExitOk;
    }
    for (std::int32_t i = 0; i < list.count(); ++i) {
        const DownloadItem& item = *list.item_at(i);
        std::printf("%3d  %-8s %s\n     %s\n     -> %s\n", i + 1, state_name(item.state.load()),
                    format_progress(item).c_str(), item.url().c_str(), item.local_path().c_str());
    }
    return kExitOk;
}

int usage_error(const char* what) {
    std::fprintf(stderr, "rlg: %s\nTry 'rlg --help'.\n", what);
    return kExitUsage;
}

int run(int argc, char** argv) {
    std::string data_dir_option;
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (args.empty() && arg == "--data-dir") {
            if (i + 1 >= argc)
                return usage_error("--data-dir needs a folder");
            data_dir_option = argv[++i];
        } else if (args.empty() && arg.starts_with("--data-dir=")) {
            data_dir_option = std::string(arg.substr(std::strlen("--data-dir=")));
        } else {
            args.push_back(arg);
        }
    }
    if (args.empty() || args[0] == "help" || args[0] == "-h" || args[0] == "--help") {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args[0] == "--version") {
        std::fputs(kVersion, stdout);
        return kExitOk;
    }

    const DataDirResult data_dir = resolve_data_dir(data_dir_option);
    if (!data_dir.ok()) {
        std::fprintf(stderr, "rlg: %s\n", describe(data_dir.error));
        return kExitFailure;
    }
    if (args[0] == "get") {
        std::vector<std::string> urls;
        std::string out_dir = ".";
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "-d") {
                if (i + 1 >= args.size())
                    return usage_error("-d needs a folder");
                out_dir = std::string(args[++i]);
            } else {
                urls.emplace_back(args[i]);
            }
        }
        if (urls.empty())
            return usage_error("'get' needs at least one URL");
        return run_get(data_dir.folder, urls, out_dir);
    }
    if (args[0] == "info") {
        if (args.size() != 2)
            return usage_error("'info' takes one URL");
        return run_info(data_dir.folder, std::string(args[1]));
    }
    if (args[0] == "list") {
        if (args.size() > 1)
            return usage_error("'list' takes no arguments");
        return run_list(data_dir.folder);
    }
    return usage_error(("unknown command '" + std::string(args[0]) + "'").c_str());
}

}  // namespace
}  // namespace rg

int main(int argc, char** argv) {
    return rg::run(argc, argv);
}
