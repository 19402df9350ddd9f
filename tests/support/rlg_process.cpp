#include "support/rlg_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace rg::test {

namespace {

constexpr std::size_t kReadChunk = 4096;

// Spawns rlg with its input on /dev/null, its output on `out_fd` (or /dev/null when -1) and its
// errors on `err_fd` (or inherited when -1).
pid_t spawn_rlg(const std::vector<std::string>& args, int out_fd, int err_fd) {
    std::vector<std::string> argv{RG_RLG_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (err_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, err_fd, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Appends what is readable on `fd` to `into`; false at its end (or on an error).
bool drain(int fd, std::string& into) {
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
}

}  // namespace

pid_t start_rlg(const std::vector<std::string>& args) {
    return spawn_rlg(args, -1, -1);
}

int wait_exit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) != pid) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

RlgResult run_rlg(const std::vector<std::string>& args) {
    RlgResult result;
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0)
        return result;
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
        ::close(out_pipe[0]);
        ::close(out_pipe[1]);
        return result;
    }
    const pid_t pid = spawn_rlg(args, out_pipe[1], err_pipe[1]);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    pollfd fds[] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[] = {&result.out, &result.err};
    int open_count = pid > 0 ? 2 : 0;
    while (open_count > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents != 0 && !drain(fds[i].fd, *sinks[i])) {
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    if (pid > 0)
        result.exit_code = wait_exit(pid);
    return result;
}

BackgroundRlg::BackgroundRlg(const std::vector<std::string>& args) {
    int out_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0)
        return;
    pid_ = spawn_rlg(args, out_pipe[1], -1);
    ::close(out_pipe[1]);
    out_fd_ = out_pipe[0];
}

BackgroundRlg::~BackgroundRlg() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    if (out_fd_ >= 0)
        ::close(out_fd_);
}

std::optional<std::string> BackgroundRlg::read_line(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (out_fd_ < 0 || left.count() <= 0)
            return std::nullopt;
        pollfd p{out_fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || !drain(out_fd_, pending_))
            return std::nullopt;
    }
}

bool BackgroundRlg::signal(int number) {
    return pid_ > 0 && ::kill(pid_, number) == 0;
}

int BackgroundRlg::wait() {
    if (pid_ <= 0)
        return -1;
    const int code = wait_exit(pid_);
    pid_ = -1;
    return code;
}

}  // namespace rg::test
