#pragma once

#include <string>

#include "cli/command_args.h"

namespace rg {

// rlg set-url ROW URL: gives the row's download another URL, as the Edit Download Data window
// does (change_item_address): the bytes it holds are only continued from an answer that names the
// same size. A URL the intake would refuse, or a row whose download runs, is refused with one
// line and exit code 1; nothing changes then.
int run_set_url_command(const std::string& data_dir, CommandArgs args);

}  // namespace rg
