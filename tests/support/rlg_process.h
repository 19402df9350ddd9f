#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace rg::test {

// Starts the rlg tool of this build with `args`, its input and output on /dev/null; -1 when it
// cannot be started.
pid_t start_rlg(const std::vector<std::string>& args);

// Waits for the process: its exit code, 128 + the signal that ended it, or -1.
int wait_exit(pid_t pid);

}  // namespace rg::test
