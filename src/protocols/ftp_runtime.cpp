#include "protocols/ftp_runtime.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace rg {

namespace {

// Without an eventfd (descriptors exhausted) waits are cut into slices so that an interrupt is
// still noticed in time.
constexpr int kInterruptSliceMs = 50;
constexpr std::size_t kMaxWaitFds = 4;

}  // namespace

FtpDeadline ftp_deadline_after(std::optional<std::chrono::milliseconds> span) {
    if (!span)
        return std::nullopt;
    return FtpClock::now() + *span;
}

FtpRuntime::FtpRuntime() : wake_fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

FtpRuntime::~FtpRuntime() {
    ftp_close_socket(wake_fd_);
}

void FtpRuntime::interrupt() {
    interrupted_.store(true);
    if (wake_fd_ >= 0) {
        const std::uint64_t one = 1;
        // A full counter already wakes the owner; nothing else can fail here.
        [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
    }
}

void FtpRuntime::reset_interrupt() {
    // The flag goes first: an interrupt that comes in between leaves the flag set, which every
    // wait checks before it looks at the eventfd.
    interrupted_.store(false);
    if (wake_fd_ >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &count, sizeof count);
    }
}

FtpIo FtpRuntime::wait(std::span<pollfd> fds, FtpDeadline deadline) {
    if (fds.size() > kMaxWaitFds)
        return FtpIo::kFailed;
    pollfd all[kMaxWaitFds + 1];
    std::copy(fds.begin(), fds.end(), all);
    const std::size_t wake_index = fds.size();
    all[wake_index] = pollfd{wake_fd_, POLLIN, 0};
    const nfds_t count = static_cast<nfds_t>(fds.size() + (wake_fd_ >= 0 ? 1 : 0));
    while (true) {
        if (interrupted_.load())
            return FtpIo::kInterrupted;
        int timeout_ms = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - FtpClock::now()).count();
            if (left <= 0)
                return FtpIo::kTimedOut;
            timeout_ms = static_cast<int>(std::min<long long>(left, INT_MAX));
        }
        if (wake_fd_ < 0 && (timeout_ms < 0 || timeout_ms > kInterruptSliceMs))
            timeout_ms = kInterruptSliceMs;
        for (nfds_t i = 0; i < count; ++i)
            all[i].revents = 0;
        const int ready = ::poll(all, count, timeout_ms);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return FtpIo::kFailed;
        }
        if (ready == 0)
            continue;
        if (wake_fd_ >= 0 && all[wake_index].revents != 0) {
            if (interrupted_.load())
                return FtpIo::kInterrupted;
            // A wake-up left from before the last reset.
            std::uint64_t stale = 0;
            [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &stale, sizeof stale);
        }
        bool any = false;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            fds[i].revents = all[i].revents;
            any = any || all[i].revents != 0;
        }
        if (any)
            return FtpIo::kOk;
    }
}

FtpIo FtpRuntime::connect(const sockaddr* address, socklen_t length, FtpDeadline deadline,
                          int* fd_out) {
    int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return FtpIo::kNoSocket;
    if (::connect(fd, address, length) != 0 && errno != EINPROGRESS && errno != EINTR) {
        ftp_close_socket(fd);
        return FtpIo::kFailed;
    }
    pollfd p{fd, POLLOUT, 0};
    const FtpIo waited = wait({&p, 1}, deadline);
    if (waited != FtpIo::kOk) {
        ftp_close_socket(fd);
        return waited;
    }
    int error = 0;
    socklen_t error_length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &error_length) != 0 || error != 0) {
        ftp_close_socket(fd);
        return FtpIo::kFailed;
    }
    *fd_out = fd;
    return FtpIo::kOk;
}

FtpIo FtpRuntime::send_all(int fd, std::string_view bytes, FtpDeadline deadline) {
    while (!bytes.empty()) {
        if (interrupted_.load())
            return FtpIo::kInterrupted;
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (const FtpIo waited = wait({&p, 1}, deadline); waited != FtpIo::kOk)
                return waited;
            continue;
        }
        return FtpIo::kFailed;
    }
    return FtpIo::kOk;
}

FtpIo FtpRuntime::receive(int fd, void* buffer, std::size_t count, FtpDeadline deadline,
                          std::size_t* received) {
    *received = 0;
    while (true) {
        if (interrupted_.load())
            return FtpIo::kInterrupted;
        // Reading first spares a poll for every block while data streams in.
        const ssize_t n = ::recv(fd, buffer, count, 0);
        if (n > 0) {
            *received = static_cast<std::size_t>(n);
            return FtpIo::kOk;
        }
        if (n == 0)
            return FtpIo::kClosed;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return FtpIo::kFailed;
        pollfd p{fd, POLLIN, 0};
        if (const FtpIo waited = wait({&p, 1}, deadline); waited != FtpIo::kOk)
            return waited;
    }
}

void FtpRuntime::reset_transfer() {
    pending.clear();
    reader = FtpReplyReader();
    peer = sockaddr_storage{};
    peer_length = 0;
    final_reply = kFtpReplyNone;
    data_offset = 0;
    data_ended = false;
    control_failed = false;
    failure = FtpFailure::kNone;
}

std::shared_ptr<FtpRuntime> ftp_runtime(FtpSession& session) {
    // The owner makes it on first use while other threads may already look for it to interrupt,
    // so the pointer is only touched through the atomic shared_ptr functions.
    std::shared_ptr<FtpRuntime> runtime = std::atomic_load(&session.runtime);
    if (runtime)
        return runtime;
    auto fresh = std::make_shared<FtpRuntime>();
    if (std::atomic_compare_exchange_strong(&session.runtime, &runtime, fresh))
        return fresh;
    return runtime;
}

void ftp_close_socket(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = kInvalidSocket;
}

}  // namespace rg
