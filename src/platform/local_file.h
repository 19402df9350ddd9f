#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_ops.h"

namespace rg {

// The largest file a download may have: offsets and sizes stay far from int64 overflow; a local
// file system refuses what it cannot hold on its own (EFBIG) before this.
inline constexpr std::int64_t kMaxFileSize = std::int64_t{1} << 62;

// One open local file of a download. Shared between the thread that transfers into it and the
// controller, which flushes it before a save records its ranges; the descriptor closes when the
// last holder lets go, so a close on one thread never pulls it from under a write on another.
// The file is flushed when it closes: ranges saved after the close name bytes that are on disk.
class LocalFile {
  public:
    enum class Mode { ReadWrite, WriteOnly };

    static std::shared_ptr<LocalFile> open(const std::string& path, Mode mode, int* error = nullptr,
                                           FileOps& ops = system_file_ops());
    ~LocalFile();
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // Writes all of `size` bytes at `offset`; false on any failure or short write.
    bool write_at(std::int64_t offset, const void* data, std::size_t size);
    // Bytes read at `offset`, fewer at the end of the file, -1 on failure.
    ssize_t read_at(std::int64_t offset, void* data, std::size_t size);
    bool sync();
    bool truncate(std::int64_t size);
    std::int64_t size() const;  // -1 on failure
    int descriptor() const { return fd_; }

  private:
    LocalFile(int fd, FileOps& ops) : fd_(fd), ops_(ops) {}
    int fd_;
    FileOps& ops_;
};

enum class FlushResult { Flushed, NoFile, Failed };

// Flushes the data of the file at `path` to disk, whoever wrote it: NoFile when it cannot be
// opened (nothing of ours to flush), Failed when the flush reports an error.
FlushResult flush_file_at(const std::string& path, FileOps& ops = system_file_ops());

}  // namespace rg
