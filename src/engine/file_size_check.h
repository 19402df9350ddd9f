#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace rg {

inline constexpr std::string_view kFileTooLargeText =
    "Error: The File is Too Large for the Local File System";

// Why a download of `total_size` bytes (0 or less: not known) into `local_path` cannot be kept:
// it passes what the file's folder and the process may hold. nullopt when it fits. From here on
// a write past the process's limit fails (EFBIG) rather than ending the process.
std::optional<std::string_view> oversize_refusal(std::string_view local_path,
                                                 std::int64_t total_size);

// The status of a write into the local file that failed with the errno value `error`.
std::string_view write_failure_text(int error);

}  // namespace rg
