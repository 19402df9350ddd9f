// rlg: the command-line tool on the same core as the GUI, working on the same list and settings.
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/add_command.h"
#include "cli/exit_codes.h"
#include "cli/get_command.h"
#include "cli/list_command.h"
#ifdef RG_WITH_MONTAGE
#include "cli/montage_command.h"
#else
#include "cli/montage_handoff.h"
#endif
#include "cli/row_commands.h"
#include "cli/run_command.h"
#include "cli/set_url_command.h"
#include "cli/terminal_host.h"
#include "cli/tool_session.h"
#include "engine/list_file.h"
#include "platform/data_dir.h"

namespace rg {
namespace {

constexpr const char* kHelp =
    "Usage: rlg [--data-dir DIR] COMMAND [ARGS]\n"
    "\n"
    "Reelgrab's command-line tool. It works on the same download list (RGList.rgl) and\n"
    "settings (rlg.ini) as the Reelgrab window; only one of them can use a data folder at a time.\n"
    "\n"
    "Commands:\n"
    "  get URL... [-d DIR] [--copy]\n"
    "                    download the URLs into DIR (default: the current folder); a URL that\n"
    "                    is already in the list continues from the bytes it has, one whose\n"
    "                    file is already in DIR is complete (--copy fetches another copy).\n"
    "                    Exits 0 when every download completed\n"
    "  info URL          show what the server says of an HTTP(S) URL: status, size, range\n"
    "                    support and the file name it offers\n"
    "  add URL-or-pattern... [-d DIR] [--user U --password P] [--not-scheduled]\n"
    "                    add downloads into DIR (default: the current folder) without starting\n"
    "                    them; a pattern like http://h/img[1-120,3].jpg adds every URL it makes;\n"
    "                    a name that exists in DIR gets a number. Scheduled (taken by 'run')\n"
    "                    unless --not-scheduled. Exits 0 when every URL was added\n"
    "  list [-l]         one line per download: row number, file name, state, progress, speed\n"
    "                    and status; -l adds the URL, the file and whether it is scheduled\n"
    "  start ROW...      start the downloads of the rows (numbered as 'list' shows them) and\n"
    "                    wait for them with live progress; Ctrl+C pauses them\n"
    "  pause [--yes] ROW...\n"
    "                    pause the rows' downloads; --yes confirms pausing one that cannot\n"
    "                    resume (without it, it is not paused). While a tool holds the list no\n"
    "                    other runs its downloads, so these rows are stopped: it says so\n"
    "  cancel [--delete] ROW...\n"
    "                    remove the rows from the list; --delete deletes their files too\n"
    "  set-url ROW URL   give the row's download another URL (an expired link, a mirror); the\n"
    "                    bytes it holds are kept only if the new address serves a file of the\n"
    "                    same size, else it stops with the changed-file error\n"
    "  run               automatic downloading: runs the scheduled downloads, at most\n"
    "                    ConcurrentDownloads (rlg.ini) at once, until none is left; finished\n"
    "                    ones leave the list, failed ones stay. Ctrl+C pauses them. Exits 0\n"
    "                    when all completed, 1 when one failed\n"
    "  montage URL [-d DIR] [-n FRAMES] [-o SHEET] [--any-format] [-v]\n"
    "                    read a video on an HTTP(S) server without downloading it whole: show\n"
    "                    its media information, fetch FRAMES key frames spread over it (the\n"
    "                    AutoMontage) and write a contact sheet (default: NAME.montage.jpg in\n"
    "                    DIR). The fetched bytes count for the download of the URL; -v\n"
    "                    shows every span fetched and the video library's own messages\n"
    "  frame URL (--number N | --time T) -o OUT.jpg|OUT.bmp [-d DIR] [--any-format]\n"
    "                    save one frame (number from 1, or time h:m:s, m:s or s) at full size\n"
    "  help              show this text\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR    keep the list and settings in DIR (default: beside the program when\n"
    "                    that folder is writable, else $XDG_DATA_HOME/reelgrab or\n"
    "                    ~/.local/share/reelgrab)\n"
    "  -h, --help        show this text\n"
    "  --version         show the version\n";

constexpr const char* kVersion = "rlg (Reelgrab) 0.1.0\n";

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
        std::fprintf(stderr, "rlg: %s\n", data_dir_error_text(data_dir.error));
        return kExitFailure;
    }
    if (args[0] == "get") {
        std::vector<std::string> urls;
        std::string out_dir = ".";
        bool copy = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--copy") {
                copy = true;
            } else if (args[i] == "-d") {
                if (i + 1 >= args.size())
                    return usage_error("-d needs a folder");
                out_dir = std::string(args[++i]);
            } else {
                urls.emplace_back(args[i]);
            }
        }
        if (urls.empty())
            return usage_error("'get' needs at least one URL");
        return run_get(data_dir.folder, urls, out_dir, copy);
    }
    if (args[0] == "info") {
        if (args.size() != 2)
            return usage_error("'info' takes one URL");
        return run_info(data_dir.folder, std::string(args[1]));
    }
    if (args[0] == "add")
        return run_add_command(data_dir.folder, std::span(args).subspan(1));
    if (args[0] == "list")
        return run_list_command(data_dir.folder, std::span(args).subspan(1));
    if (args[0] == "start")
        return run_start_command(data_dir.folder, std::span(args).subspan(1));
    if (args[0] == "pause")
        return run_pause_command(data_dir.folder, std::span(args).subspan(1));
    if (args[0] == "cancel")
        return run_cancel_command(data_dir.folder, std::span(args).subspan(1));
    if (args[0] == "set-url")
        return run_set_url_command(data_dir.folder, std::span(args).subspan(1));
    if (args[0] == "run")
        return run_automatic_command(data_dir.folder, std::span(args).subspan(1));
#ifdef RG_WITH_MONTAGE
    if (args[0] == "montage")
        return run_montage_command(data_dir.folder, std::span(args).subspan(1));
    if (args[0] == "frame")
        return run_frame_command(data_dir.folder, std::span(args).subspan(1));
#else
    if (args[0] == "montage" || args[0] == "frame")
        return hand_to_montage_tool(argv);
#endif
    return usage_error("unknown command '" + std::string(args[0]) + "'");
}

}  // namespace
}  // namespace rg

int main(int argc, char** argv) {
    return rg::run(argc, argv);
}
