#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace rg::test {

// A child process started with posix_spawnp whose standard input and output are pipes to us. The
// child sees its input close when we go away, however we go; the destructor kills it by its pid
// and reaps it.
class ChildProcess {
  public:
    // nullopt when the program cannot be started; `error` says why.
    static std::optional<ChildProcess> spawn(const std::vector<std::string>& argv,
                                             std::string* error = nullptr);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    pid_t pid() const { return pid_; }
    // One line of the child's output without its line break; nullopt on time-out or end.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout);
    // Kills the child (SIGKILL) and waits for it; safe to call twice.
    void stop();

  private:
    ChildProcess() = default;

    pid_t pid_ = -1;
    int stdin_fd_ = -1;
    int stdout_fd_ = -1;
    std::string pending_;
};

}  // namespace rg::test
