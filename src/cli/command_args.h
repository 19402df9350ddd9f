#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "cli/exit_codes.h"

namespace rg {

// The words after a command's name.
using CommandArgs = std::span<const std::string_view>;

// A decimal number from 1 to `most`, digits only; nothing otherwise.
std::optional<std::int32_t> parse_count(std::string_view text, std::int32_t most);

}  // namespace rg
