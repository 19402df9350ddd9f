#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_ops.h"

namespace rg {

// Replaces a file as a whole or not at all: the new contents go to a temporary file in the same
// folder, which is flushed to disk and renamed over the target; the folder is flushed after the
// rename. A crash or a failed write at any moment leaves either the old or the new file.
// The file is created readable by its owner alone (0600).
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(std::string target_path, FileOps& ops = system_file_ops());
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool open();
    bool write(const void* data, std::size_t size);
    bool write(std::string_view text) { return write(text.data(), text.size()); }
    // Flushes, renames over the target and flushes the folder. False leaves the target untouched
    // (unless only the final folder flush failed, in which case the new file is in place).
    bool commit();
    void abort();

    int error() const { return error_; }
    const std::string& temp_path() const { return temp_path_; }

  private:
    bool flush_buffer();
    bool fail(int err);

    std::string target_path_;
    std::string temp_path_;
    FileOps& ops_;
    int fd_ = -1;
    int error_ = 0;
    std::vector<char> buffer_;
};

// Convenience for small files written in one piece.
bool write_file_atomically(const std::string& path, std::string_view contents,
                           FileOps& ops = system_file_ops(), int* error = nullptr);

// Removes temporary files that an interrupted writer of `target_path` left behind. Only safe while
// no other writer of that file runs (the caller holds the instance lock).
void remove_stale_temp_files(const std::string& target_path);

// Flushes the folder that holds `path` so that a rename inside it is durable.
bool sync_parent_folder(const std::string& path, FileOps& ops = system_file_ops());

// The folder part of `path`: "." when it has none, "/" for a file at the root.
std::string parent_folder(const std::string& path);

}  // namespace rg
