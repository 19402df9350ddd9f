#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace rg {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr mode_t kOwnerOnly = 0600;

std::string unique_temp_path(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return target + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
}

}  // namespace

std::string parent_folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool sync_parent_folder(const std::string& path, FileOps& ops) {
    const int dir = ops.open(parent_folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (dir < 0)
        return false;
    const bool ok = ops.fsync(dir) == 0;
    ops.close(dir);
    return ok;
}

void remove_stale_temp_files(const std::string& target_path) {
    namespace fs = std::filesystem;
    const fs::path target(target_path);
    const std::string prefix = target.filename().string() + ".";
    constexpr std::string_view kSuffix = ".tmp";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(parent_folder(target_path), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > prefix.size() + kSuffix.size() && name.starts_with(prefix) &&
            name.ends_with(kSuffix)) {
            fs::remove(entry.path(), ec);
        }
    }
}

AtomicFileWriter::AtomicFileWriter(std::string target_path, FileOps& ops)
    : target_path_(std::move(target_path)), ops_(ops) {}

AtomicFileWriter::~AtomicFileWriter() {
    abort();
}

bool AtomicFileWriter::fail(int err) {
    if (error_ == 0)
        error_ = err != 0 ? err : EIO;
    abort();
    return false;
}

bool AtomicFileWriter::open() {
    abort();
    error_ = 0;
    temp_path_ = unique_temp_path(target_path_);
    fd_ = ops_.open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnly);
    if (fd_ < 0) {
        const int err = errno;
        temp_path_.clear();
        return fail(err);
    }
    // The umask may only take bits away; make the mode exact.
    if (ops_.fchmod(fd_, kOwnerOnly) != 0)
        return fail(errno);
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    return true;
}

bool AtomicFileWriter::flush_buffer() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ops_.write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (n == 0)
            return fail(EIO);
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool AtomicFileWriter::write(const void* data, std::size_t size) {
    if (fd_ < 0)
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const std::size_t room = kBufferSize - buffer_.size();
        const std::size_t take = size < room ? size : room;
        buffer_.insert(buffer_.end(), bytes, bytes + take);
        bytes += take;
        size -= take;
        if (buffer_.size() == kBufferSize && !flush_buffer())
            return false;
    }
    return true;
}

bool AtomicFileWriter::commit() {
    if (fd_ < 0)
        return false;
    if (!flush_buffer())
        return false;
    if (ops_.fsync(fd_) != 0)
        return fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (ops_.close(fd) != 0) {
        fd_ = -1;
        const int err = errno;
        ops_.unlink(temp_path_.c_str());
        temp_path_.clear();
        return fail(err);
    }
    if (ops_.rename(temp_path_.c_str(), target_path_.c_str()) != 0) {
        const int err = errno;
        ops_.unlink(temp_path_.c_str());
        temp_path_.clear();
        return fail(err);
    }
    temp_path_.clear();
    if (!sync_parent_folder(target_path_, ops_)) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

void AtomicFileWriter::abort() {
    if (fd_ >= 0) {
        ops_.close(fd_);
        fd_ = -1;
    }
    if (!temp_path_.empty()) {
        ops_.unlink(temp_path_.c_str());
        temp_path_.clear();
    }
    buffer_.clear();
}

bool write_file_atomically(const std::string& path, std::string_view contents, FileOps& ops,
                           int* error) {
    AtomicFileWriter writer(path, ops);
    const bool ok = writer.open() && writer.write(contents) && writer.commit();
    if (error != nullptr)
        *error = writer.error();
    return ok;
}

}  // namespace rg
