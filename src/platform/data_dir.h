#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace rg {

inline constexpr std::string_view kDataFolderName = "reelgrab";
inline constexpr mode_t kPrivateFolderMode = 0700;

enum class DataDirError {
    kNone,
    kNoHome,        // no absolute $XDG_DATA_HOME or $HOME to fall back on
    kCannotCreate,  // the folder (or a parent) could not be made, or is not a folder
    kNotWritable,
};

struct DataDirInputs {
    std::string explicit_folder;    // the CLI's --data-dir; empty when not given
    std::string executable_folder;  // empty when unknown
    std::string xdg_data_home;      // $XDG_DATA_HOME
    std::string home;               // $HOME
};

struct DataDirResult {
    std::string folder;
    DataDirError error = DataDirError::kNone;
    int sys_error = 0;

    bool ok() const { return error == DataDirError::kNone; }
};

// Where the list and settings files live: the explicit folder (created when missing), else the
// executable's folder when it is writable (portable use, runs from the build tree), else
// <$XDG_DATA_HOME or ~/.local/share>/reelgrab, created 0700. Relative XDG paths are ignored, as
// the base directory rules require.
DataDirResult resolve_data_dir(const DataDirInputs& inputs);

// What went wrong, in words for a one-line message.
const char* data_dir_error_text(DataDirError error);

// The same with the running executable and the process environment.
DataDirResult resolve_data_dir(std::string_view explicit_folder);

// Creates `path` and its missing parents with `mode`; folders that exist keep theirs.
bool make_folders(const std::string& path, mode_t mode, int* error = nullptr);

// The text before the last '/': "" for a bare name, "/" for a file in the root.
std::string folder_of(std::string_view path);

}  // namespace rg
