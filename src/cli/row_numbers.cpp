#include "cli/row_numbers.h"

#include <cstdio>
#include <limits>

#include "cli/command_args.h"

namespace rg {

std::optional<std::vector<std::int32_t>> parse_row_numbers(
    const std::vector<std::string_view>& words) {
    if (words.size() > kMostRowArguments) {
        usage_error("at most " + std::to_string(kMostRowArguments) + " rows at once");
        return std::nullopt;
    }
    std::vector<std::int32_t> numbers;
    numbers.reserve(words.size());
    for (const std::string_view word : words) {
        const auto number = parse_count(word, std::numeric_limits<std::int32_t>::max());
        if (!number) {
            usage_error("'" + std::string(word) + "' is not a row number (rows count from 1)");
            return std::nullopt;
        }
        numbers.push_back(*number);
    }
    return numbers;
}

std::optional<std::vector<std::int32_t>> rows_in_list(const std::vector<std::int32_t>& numbers,
                                                      std::int32_t row_count) {
    std::vector<std::int32_t> rows;
    rows.reserve(numbers.size());
    for (const std::int32_t number : numbers) {
        if (number < 1 || number > row_count) {
            std::fprintf(stderr, "rlg: there is no row %d: the list has %d row(s)\n", number,
                         row_count);
            return std::nullopt;
        }
        rows.push_back(number - 1);
    }
    return rows;
}

Selection selection_of(std::int32_t row_count, const std::vector<std::int32_t>& rows) {
    Selection selection(row_count);
    for (const std::int32_t row : rows)
        selection.set_selected(row, true);
    return selection;
}

}  // namespace rg
