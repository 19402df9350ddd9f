#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rg {

inline constexpr std::string_view kFallbackFileName = "rename.ext";

// The local name a URL proposes: the text of its path after the last '/', cut at the first '?'
// and then at the first '#', not percent-decoded; "rename.ext" when that is empty. The result is
// made a plain, safe name (no separators, no leading dots, no control characters).
std::string proposed_file_name(std::string_view url);

// `folder`/`name` when nothing exists there, else the first free "stem (N).ext" with N from 1.
// Free means no file, folder or link of that name; nullopt when none is free.
std::optional<std::string> free_local_path(std::string_view folder, std::string_view name);

}  // namespace rg
