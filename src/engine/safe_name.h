#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

inline constexpr std::size_t kSafeNameMaxBytes = 255;

// A file name that came from a server (Content-Disposition, Content-name) or from a redirect,
// made into a plain name inside the download's folder: only the last path segment is kept (after
// '/' or '\\'), control characters are dropped, leading dots and spaces and trailing dots and
// spaces are stripped (no "." or "..", no hidden files), and the name is cut to 255 bytes keeping
// its extension. nullopt when nothing is left.
std::optional<std::string> safe_file_name(std::string_view name);

}  // namespace rg
