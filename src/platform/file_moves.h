#pragma once

#include <string>

#include "platform/file_ops.h"

namespace rg {

// Both moves flush the folders involved afterwards, so that a list saved after the move never
// names a file that a crash would bring back under its old name. The move counts once it is
// done: a folder that cannot be flushed does not undo it.

// Renames `from` to `to` only when nothing exists at `to` (no file, no symbolic link). 0 or an
// errno value.
int rename_no_replace(const std::string& from, const std::string& to,
                      FileOps& ops = system_file_ops());

// Renames `from` over `to`, replacing what is there; across file systems the file is copied and
// flushed, then the original removed. 0 or an errno value.
int move_file_replace(const std::string& from, const std::string& to,
                      FileOps& ops = system_file_ops());

// Gives the file at `from` a second name `to` (a copy where the file system has no links), only
// when nothing exists at `to`; the original stays. 0 or an errno value (EEXIST when `to` exists).
int keep_copy_no_replace(const std::string& from, const std::string& to,
                         FileOps& ops = system_file_ops());

}  // namespace rg
