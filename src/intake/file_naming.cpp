#include "intake/file_naming.h"

#include <sys/stat.h>

#include "engine/safe_name.h"
#include "protocols/url_split.h"

namespace rg {

namespace {

constexpr int kMostNumberedNames = 9999;

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string proposed_file_name(std::string_view url) {
    const SplitUrl parts = split_url(url);
    std::string_view path = parts.path;
    const auto slash = path.rfind('/');
    std::string_view name =
        slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    name = name.substr(0, name.find('?'));
    name = name.substr(0, name.find('#'));
    const auto safe = safe_file_name(name);
    return safe ? *safe : std::string(kFallbackFileName);
}

std::optional<std::string> free_local_path(std::string_view folder, std::string_view name) {
    std::string base(folder);
    if (!base.empty() && base.back() != '/')
        base += '/';
    const std::string first = base + std::string(name);
    if (!exists(first))
        return first;
    const auto dot = name.rfind('.');
    const std::string_view stem =
        dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string_view ext = stem.size() == name.size() ? std::string_view() : name.substr(dot);
    for (int n = 1; n <= kMostNumberedNames; ++n) {
        std::string candidate =
            base + std::string(stem) + " (" + std::to_string(n) + ")" + std::string(ext);
        if (!exists(candidate))
            return candidate;
    }
    return std::nullopt;
}

}  // namespace rg
