#pragma once

#include <cstdint>
#include <string>

namespace rg {

// The largest file a download may have in `folder`: the least of kMaxFileSize, what the folder's
// file system can hold (FILESIZEBITS) and the process's file size limit (RLIMIT_FSIZE). A limit
// that cannot be learned counts as none: a write past it still fails with EFBIG.
std::int64_t largest_file_size(const std::string& folder);

// Makes a write past the process's file size limit fail with EFBIG, as it does on a file system
// that cannot hold more, instead of ending the process with SIGXFSZ. Idempotent.
void report_file_size_limit_as_error();

}  // namespace rg
