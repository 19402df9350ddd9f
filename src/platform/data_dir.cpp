#include "platform/data_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/autostart.h"

namespace rg {

namespace {

constexpr std::string_view kLocalShare = "/.local/share";

bool is_folder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool is_writable_folder(const std::string& path) {
    return !path.empty() && is_folder(path) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

bool is_absolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

std::string env_or_empty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

DataDirResult usable_folder(std::string folder) {
    DataDirResult result;
    int err = 0;
    if (!make_folders(folder, kPrivateFolderMode, &err)) {
        result.error = DataDirError::kCannotCreate;
        result.sys_error = err;
    } else if (!is_writable_folder(folder)) {
        result.error = DataDirError::kNotWritable;
        result.sys_error = errno;
    }
    result.folder = std::move(folder);
    return result;
}

}  // namespace

std::string folder_of(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return "";
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

bool make_folders(const std::string& path, mode_t mode, int* error) {
    auto fail = [&](int err) {
        if (error != nullptr)
            *error = err;
        return false;
    };
    if (path.empty())
        return fail(ENOENT);
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), mode) != 0) {
            const int err = errno;
            if (err != EEXIST)
                return fail(err);
            if (!is_folder(prefix))
                return fail(ENOTDIR);
        }
        if (slash == std::string::npos)
            break;
    }
    return true;
}

DataDirResult resolve_data_dir(const DataDirInputs& inputs) {
    if (!inputs.explicit_folder.empty())
        return usable_folder(inputs.explicit_folder);
    if (is_writable_folder(inputs.executable_folder))
        return DataDirResult{inputs.executable_folder};

    std::string base;
    if (is_absolute(inputs.xdg_data_home))
        base = inputs.xdg_data_home;
    else if (is_absolute(inputs.home))
        base = inputs.home + std::string(kLocalShare);
    else
        return DataDirResult{"", DataDirError::kNoHome};
    if (base.back() != '/')
        base.push_back('/');
    return usable_folder(base + std::string(kDataFolderName));
}

DataDirResult resolve_data_dir(std::string_view explicit_folder) {
    DataDirInputs inputs;
    inputs.explicit_folder = std::string(explicit_folder);
    if (const auto exe = current_executable_path())
        inputs.executable_folder = folder_of(*exe);
    inputs.xdg_data_home = env_or_empty("XDG_DATA_HOME");
    inputs.home = env_or_empty("HOME");
    return resolve_data_dir(inputs);
}

const char* data_dir_error_text(DataDirError error) {
    switch (error) {
        case DataDirError::kNone:
            return "no error";
        case DataDirError::kNoHome:
            return "no home folder to keep the data in";
        case DataDirError::kCannotCreate:
            return "the data folder cannot be created";
        case DataDirError::kNotWritable:
            return "the data folder is not writable";
    }
    return "unknown error";
}

}  // namespace rg
