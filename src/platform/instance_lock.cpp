#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace rg {

namespace {
constexpr mode_t kLockFileMode = 0600;
}

InstanceLock::~InstanceLock() {
    release();
}

InstanceLock::Result InstanceLock::acquire(const std::string& lock_path) {
    release();
    // Close-on-exec: a program started by us (an opened download) must not inherit the lock.
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kLockFileMode);
    if (fd < 0) {
        error_ = errno;
        return Result::Failed;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        error_ = errno;
        ::close(fd);
        return error_ == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
    }
    error_ = 0;
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace rg
