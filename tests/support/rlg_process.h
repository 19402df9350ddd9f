#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace rg::test {

// Starts the rlg tool of this build with `args`, its input and output on /dev/null; -1 when it
// cannot be started.
pid_t start_rlg(const std::vector<std::string>& args);

// Waits for the process: its exit code, 128 + the signal that ended it, or -1.
int wait_exit(pid_t pid);

// What one run of rlg printed, and how it ended (as wait_exit).
struct RlgResult {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// Runs rlg with `args` to its end, its input on /dev/null, its output and errors captured.
RlgResult run_rlg(const std::vector<std::string>& args);

// An rlg running beside the test whose output is read line by line through a pipe (so it is no
// terminal); its errors go to the test's. Killed and reaped at the end unless waited for.
class BackgroundRlg {
  public:
    explicit BackgroundRlg(const std::vector<std::string>& args);
    ~BackgroundRlg();
    BackgroundRlg(const BackgroundRlg&) = delete;
    BackgroundRlg& operator=(const BackgroundRlg&) = delete;

    bool started() const { return pid_ > 0; }
    // One line of output without its line break; nullopt on time-out or at the end of output.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout);
    // Sends `number` to the process while it has not been waited for.
    bool signal(int number);
    // Waits for the end; as wait_exit.
    int wait();

  private:
    pid_t pid_ = -1;
    int out_fd_ = -1;
    std::string pending_;
};

}  // namespace rg::test
