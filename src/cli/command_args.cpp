#include "cli/command_args.h"

#include <charconv>

namespace rg {

std::optional<std::int32_t> parse_count(std::string_view text, std::int32_t most) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > most)
        return std::nullopt;
    return value;
}

}  // namespace rg
