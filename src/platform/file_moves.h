#pragma once

#include <string>

namespace rg {

// Renames `from` to `to` only when nothing exists at `to` (no file, no symbolic link). 0 or an
// errno value.
int rename_no_replace(const std::string& from, const std::string& to);

// Renames `from` over `to`, replacing what is there; across file systems the file is copied and
// flushed, then the original removed. 0 or an errno value.
int move_file_replace(const std::string& from, const std::string& to);

}  // namespace rg
