#pragma once

#include <string>

namespace rg {

// An exclusive advisory lock on a file, held while the object lives. Two instances of the program
// working on one data folder would overwrite each other's list; the second one cannot take it.
class InstanceLock {
  public:
    enum class Result { Acquired, HeldElsewhere, Failed };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result acquire(const std::string& lock_path);
    void release();
    bool held() const { return fd_ >= 0; }
    int error() const { return error_; }

  private:
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace rg
