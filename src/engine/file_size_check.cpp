#include "engine/file_size_check.h"

#include <cerrno>
#include <string>

#include "engine/status_texts.h"
#include "platform/data_dir.h"
#include "platform/file_size_limit.h"

namespace rg {

std::optional<std::string_view> oversize_refusal(std::string_view local_path,
                                                 std::int64_t total_size) {
    report_file_size_limit_as_error();
    if (total_size <= 0)
        return std::nullopt;
    // A bare file name lies in the working folder.
    const std::string folder = folder_of(local_path);
    if (total_size > largest_file_size(folder.empty() ? std::string(1, '.') : folder))
        return kFileTooLargeText;
    return std::nullopt;
}

std::string_view write_failure_text(int error) {
    return error == EFBIG ? kFileTooLargeText : kWriteFailedText;
}

}  // namespace rg
