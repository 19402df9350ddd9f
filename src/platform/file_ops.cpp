#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace rg {

int FileOps::open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

ssize_t FileOps::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

int FileOps::fsync(int fd) {
    return ::fsync(fd);
}

int FileOps::fdatasync(int fd) {
    return ::fdatasync(fd);
}

int FileOps::fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

int FileOps::close(int fd) {
    return ::close(fd);
}

int FileOps::rename(const char* from, const char* to) {
    return std::rename(from, to);
}

int FileOps::unlink(const char* path) {
    return ::unlink(path);
}

FileOps& system_file_ops() {
    static FileOps ops;
    return ops;
}

}  // namespace rg
