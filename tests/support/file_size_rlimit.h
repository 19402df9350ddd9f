#pragma once

#include <sys/resource.h>

#include <cstdint>

namespace rg::test {

// Lowers this process's file size limit (RLIMIT_FSIZE, soft) for its lifetime. Children started
// meanwhile inherit it: start servers before.
class FileSizeRlimit {
  public:
    explicit FileSizeRlimit(std::int64_t bytes) {
        ok_ = ::getrlimit(RLIMIT_FSIZE, &saved_) == 0;
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(bytes);
        ok_ = ok_ && ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeRlimit() {
        if (ok_)
            ::setrlimit(RLIMIT_FSIZE, &saved_);
    }
    FileSizeRlimit(const FileSizeRlimit&) = delete;
    FileSizeRlimit& operator=(const FileSizeRlimit&) = delete;

    bool ok() const { return ok_; }

  private:
    rlimit saved_{};
    bool ok_ = false;
};

}  // namespace rg::test
