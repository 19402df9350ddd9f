#include "platform/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace rg {

namespace {
constexpr mode_t kNewFileMode = 0644;
}

std::shared_ptr<LocalFile> LocalFile::open(const std::string& path, Mode mode, int* error,
                                           FileOps& ops) {
    const int access = mode == Mode::ReadWrite ? O_RDWR : O_WRONLY;
    const int fd = ops.open(path.c_str(), access | O_CREAT | O_CLOEXEC, kNewFileMode);
    if (fd < 0) {
        if (error != nullptr)
            *error = errno;
        return nullptr;
    }
    if (error != nullptr)
        *error = 0;
    return std::shared_ptr<LocalFile>(new LocalFile(fd, ops));
}

LocalFile::~LocalFile() {
    // A failure here cannot be told to anyone; the list's save flushes the file again by its path
    // before it records ranges and sees that failure then.
    ops_.fdatasync(fd_);
    ops_.close(fd_);
}

bool LocalFile::write_at(std::int64_t offset, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, bytes, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

ssize_t LocalFile::read_at(std::int64_t offset, void* data, std::size_t size) {
    char* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, bytes + done, size - done, offset + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool LocalFile::sync() {
    return ops_.fdatasync(fd_) == 0;
}

bool LocalFile::truncate(std::int64_t size) {
    return ::ftruncate(fd_, size) == 0;
}

std::int64_t LocalFile::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return -1;
    return st.st_size;
}

FlushResult flush_file_at(const std::string& path, FileOps& ops) {
    const int fd = ops.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return FlushResult::NoFile;
    const bool ok = ops.fdatasync(fd) == 0;
    ops.close(fd);
    return ok ? FlushResult::Flushed : FlushResult::Failed;
}

}  // namespace rg
