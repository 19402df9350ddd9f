#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rg::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

  private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view contents);
// The size of a file, -1 when there is none.
std::int64_t file_size(const std::string& path);
// `size` pseudo-random bytes, the same for the same seed.
std::string random_bytes(std::size_t size, std::uint64_t seed = 7);

}  // namespace rg::test
