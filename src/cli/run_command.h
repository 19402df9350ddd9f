#pragma once

#include <string>

#include "cli/command_args.h"

namespace rg {

// rlg run: automatic downloading over the list, at most "ConcurrentDownloads" at once, until no
// scheduled download waits and none runs, with live progress. 0 when every download it ran
// completed, 1 when one ended with an error (it stays in the list), 130 after Ctrl+C (the
// running downloads are paused and the list saved).
int run_automatic_command(const std::string& data_dir, CommandArgs args);

}  // namespace rg
