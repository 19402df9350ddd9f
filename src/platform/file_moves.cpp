#include "platform/file_moves.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/atomic_file.h"

namespace rg {

namespace {

constexpr std::size_t kCopyBlock = 1 << 20;

// `extra_flags` O_EXCL refuses an existing target; otherwise it is replaced.
int copy_file(const std::string& from, const std::string& to, int extra_flags) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat st {};
    ::fstat(in, &st);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | extra_flags,
                           st.st_mode & 07777);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return err;
    }
    std::vector<char> buffer(kCopyBlock);
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n && err == 0;) {
            const ssize_t w =
                ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno != EINTR)
                err = errno;
            if (w > 0)
                done += w;
        }
        if (err != 0)
            break;
    }
    if (err == 0 && ::fsync(out) != 0)
        err = errno;
    ::close(out);
    ::close(in);
    if (err != 0)
        ::unlink(to.c_str());
    return err;
}

// Makes a finished move durable: the new name's folder, and the old one's when it differs.
void sync_folders(const std::string& from, const std::string& to, FileOps& ops) {
    sync_parent_folder(to, ops);
    if (parent_folder(from) != parent_folder(to))
        sync_parent_folder(from, ops);
}

int link_or_rename_no_replace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: a hard link fails when the target exists, then the old
    // name goes.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

int rename_or_copy_replace(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return 0;
    if (errno != EXDEV)
        return errno;
    const int err = copy_file(from, to, 0);
    if (err != 0)
        return err;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

int rename_no_replace(const std::string& from, const std::string& to, FileOps& ops) {
    const int err = link_or_rename_no_replace(from, to);
    if (err == 0)
        sync_folders(from, to, ops);
    return err;
}

int move_file_replace(const std::string& from, const std::string& to, FileOps& ops) {
    const int err = rename_or_copy_replace(from, to);
    if (err == 0)
        sync_folders(from, to, ops);
    return err;
}

int keep_copy_no_replace(const std::string& from, const std::string& to, FileOps& ops) {
    int err = 0;
    if (::link(from.c_str(), to.c_str()) != 0) {
        err = errno;
        // File systems without hard links answer EPERM (or EOPNOTSUPP): copy instead.
        if (err == EPERM || err == EOPNOTSUPP || err == EXDEV)
            err = copy_file(from, to, O_EXCL);
    }
    if (err == 0)
        sync_parent_folder(to, ops);
    return err;
}

}  // namespace rg
