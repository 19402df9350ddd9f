#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace rg::test {

// True when files in `folder` keep unwritten stretches as holes that take no disk space.
bool sparse_files_supported(const std::string& folder);
// The disk space a file takes, -1 when there is none.
std::int64_t allocated_bytes(const std::string& path);

// An OpenDML AVI above 4 GiB, written sparse by tests/fixtures/make_sparse_odml.py from the ten
// frames of video/mjpeg.avi: frames 1-5 at the start, frames 6-10 and their index in the last
// kilobytes of the file, 1 GiB RIFF lists of holes between.
struct SparseOdml {
    static constexpr std::int32_t kFrames = 10;
    static constexpr std::int32_t kHeadFrames = 5;

    std::string path;
    std::int64_t size = 0;
    std::int64_t tail = 0;  // where the last frames start
};

// Writes it as `folder`/`name`; nullopt, with the reason in `why`, when the folder holds no sparse
// files or the script fails.
std::optional<SparseOdml> make_sparse_odml(const std::string& folder, const std::string& name,
                                           std::string& why);

}  // namespace rg::test
