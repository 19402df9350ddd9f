#pragma once

#include <string>

#include "cli/command_args.h"

namespace rg {

// rlg list [-l|--long]: one line per row of the list, numbered from 1: file name, state, the
// progress text and the speed as the row shows them, and the status text. --long adds the URL,
// the local file and whether automatic downloading takes the row.
int run_list_command(const std::string& data_dir, CommandArgs args);

}  // namespace rg
