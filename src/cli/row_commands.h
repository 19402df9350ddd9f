#pragma once

#include <string>

#include "cli/command_args.h"

namespace rg {

// rlg start ROW...: starts the rows' downloads as the Start command does and runs them in the
// foreground with live progress until they end. 0 when every one completed, 130 after Ctrl+C
// (the running downloads are paused and the list saved).
int run_start_command(const std::string& data_dir, CommandArgs args);

// rlg pause [--yes] ROW...: pauses the rows as the Pause command does. The tool holds the list
// alone, so no row runs in another process: a stopped row is left as it is and said so.
// --yes answers Yes when a download that cannot resume would be paused; without it, No.
int run_pause_command(const std::string& data_dir, CommandArgs args);

// rlg cancel [--delete] ROW...: removes the rows as the Cancel command does; --delete answers
// the question about the local files with Yes (delete them), without it they are kept. 0 when
// every row left the list and, with --delete, its file is gone.
int run_cancel_command(const std::string& data_dir, CommandArgs args);

}  // namespace rg
