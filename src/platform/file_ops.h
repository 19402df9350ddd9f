#pragma once

#include <sys/types.h>

#include <cstddef>

namespace rg {

// The file calls that durable writes go through. Tests replace it to simulate a full disk or an
// I/O error at a chosen moment; production code uses system_file_ops().
class FileOps {
  public:
    virtual ~FileOps() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int fsync(int fd);
    virtual int fdatasync(int fd);
    virtual int fchmod(int fd, mode_t mode);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
};

FileOps& system_file_ops();

}  // namespace rg
