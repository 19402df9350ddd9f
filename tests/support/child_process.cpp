#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

extern char** environ;

namespace rg::test {

namespace {

constexpr std::size_t kReadChunk = 4096;

void close_fd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

std::optional<ChildProcess> ChildProcess::spawn(const std::vector<std::string>& argv,
                                                std::string* error) {
    const auto fail = [&](const char* what, int code) -> std::optional<ChildProcess> {
        if (error)
            *error = std::string(what) + ": " + std::strerror(code);
        return std::nullopt;
    };
    if (argv.empty())
        return fail("spawn", EINVAL);

    // Our ends are close-on-exec so that no other child keeps the child's input open.
    int in_pipe[2];
    int out_pipe[2];
    if (::pipe2(in_pipe, O_CLOEXEC) != 0)
        return fail("pipe", errno);
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
        const int e = errno;
        ::close(in_pipe[0]);
        ::close(in_pipe[1]);
        return fail("pipe", e);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);

    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    ChildProcess child;
    const int rc = ::posix_spawnp(&child.pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in_pipe[0]);
    ::close(out_pipe[1]);
    child.stdin_fd_ = in_pipe[1];
    child.stdout_fd_ = out_pipe[0];
    if (rc != 0) {
        child.pid_ = -1;
        return fail("posix_spawnp", rc);
    }
    return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
    *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = std::exchange(other.pid_, -1);
        stdin_fd_ = std::exchange(other.stdin_fd_, -1);
        stdout_fd_ = std::exchange(other.stdout_fd_, -1);
        pending_ = std::move(other.pending_);
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    stop();
}

std::optional<std::string> ChildProcess::read_line(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const std::size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        if (stdout_fd_ < 0)
            return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{stdout_fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char buffer[kReadChunk];
        const ssize_t n = ::read(stdout_fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

void ChildProcess::stop() {
    close_fd(stdin_fd_);
    close_fd(stdout_fd_);
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
}

}  // namespace rg::test
