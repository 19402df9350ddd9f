#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/selection.h"

namespace rg {

// The most row numbers one command takes.
inline constexpr std::size_t kMostRowArguments = 10000;

// Row numbers as typed: 1-based, digits only. Nothing (printed why) for a word that is no row
// number or for more than kMostRowArguments of them.
std::optional<std::vector<std::int32_t>> parse_row_numbers(
    const std::vector<std::string_view>& words);

// The rows as list indexes, all checked against a list of `row_count` rows: nothing (printed
// why) when one is not in the list.
std::optional<std::vector<std::int32_t>> rows_in_list(const std::vector<std::int32_t>& numbers,
                                                      std::int32_t row_count);

// A selection of `row_count` rows with the given indexes selected.
Selection selection_of(std::int32_t row_count, const std::vector<std::int32_t>& rows);

}  // namespace rg
