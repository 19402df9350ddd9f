#include "support/sparse_odml.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <vector>

#include "support/child_process.h"

namespace rg::test {

namespace {

constexpr std::int64_t kBlockUnit = 512;  // st_blocks counts these
// A byte written this far into an empty file leaves a hole before it ...
constexpr off_t kProbeOffset = 16 * 1024 * 1024;
// ... that a file system with sparse files does not allocate.
constexpr std::int64_t kProbeAllocationLimit = 1024 * 1024;
constexpr auto kScriptTimeout = std::chrono::seconds(60);
// The system interpreter starts at once, where a PATH shim may take seconds.
constexpr const char* kSystemPython = "/usr/bin/python3";

std::string python() {
    return ::access(kSystemPython, X_OK) == 0 ? kSystemPython : "python3";
}

std::string fixture(const std::string& relative) {
    return (std::filesystem::path(RG_FIXTURE_DIR) / relative).string();
}

}  // namespace

std::int64_t allocated_bytes(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_blocks) * kBlockUnit;
}

bool sparse_files_supported(const std::string& folder) {
    const std::string probe = folder + "/.sparse-probe";
    const int fd = ::open(probe.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const char byte = 1;
    const bool written = ::pwrite(fd, &byte, 1, kProbeOffset) == 1 && ::fsync(fd) == 0;
    ::close(fd);
    const std::int64_t allocated = allocated_bytes(probe);
    ::unlink(probe.c_str());
    return written && allocated >= 0 && allocated < kProbeAllocationLimit;
}

std::optional<SparseOdml> make_sparse_odml(const std::string& folder, const std::string& name,
                                           std::string& why) {
    if (!sparse_files_supported(folder)) {
        why = "the file system of " + folder + " keeps no sparse files";
        return std::nullopt;
    }
    SparseOdml made;
    made.path = folder + "/" + name;
    const std::vector<std::string> argv = {
        python(), fixture("make_sparse_odml.py"),         fixture("video/mjpeg.avi"), made.path,
        "--head", std::to_string(SparseOdml::kHeadFrames)};
    auto child = ChildProcess::spawn(argv, &why);
    if (!child)
        return std::nullopt;
    const auto line = child->read_line(kScriptTimeout);
    if (!line) {
        why = "make_sparse_odml.py wrote no result";
        return std::nullopt;
    }
    std::istringstream fields(*line);
    if (!(fields >> made.size >> made.tail) || made.size <= 0 || made.tail <= 0) {
        why = "make_sparse_odml.py answered: " + *line;
        return std::nullopt;
    }
    return made;
}

}  // namespace rg::test
