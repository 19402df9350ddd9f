#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

// Bounds of one expansion: the URLs and characters it may add in all, and the longest URL.
struct ExpandLimits {
    static constexpr std::size_t kMostUrls = 100000;
    static constexpr std::size_t kLongestUrl = 4095;
    static constexpr std::size_t kMostBytes = std::size_t{64} << 20;

    std::size_t most_urls = kMostUrls;
    std::size_t longest_url = kLongestUrl;
    std::size_t most_bytes = kMostBytes;
};

enum class ExpandProblem {
    kNone,
    kTooManyUrls,        // more URLs (or more text in all) than the limits allow
    kTooLong,            // a URL of the line would be longer than the limit
    kControlCharacters,  // a letter group runs over codes that are not printable ASCII
};

struct ExpandRefusal {
    std::size_t line = 0;  // 1-based among the text's non-empty lines
    std::string excerpt;   // the line's start, for the message
    ExpandProblem problem = ExpandProblem::kNone;
};

struct ExpandResult {
    std::size_t added = 0;
    std::vector<ExpandRefusal> refused;
};

// True when the line holds '[', ']' and '-' with its first '[' before its first ']' and its
// first '-' between them.
bool is_pattern_line(std::string_view line);

// Appends the URLs of every line of `text` (split at CR and LF, empty lines skipped) to `urls`,
// behind what it holds. A pattern line is expanded; any other line is appended unchanged. A
// line that would pass a limit adds nothing and is listed in the result; the lines after it
// still count.
ExpandResult expand_url_list(std::string_view text, std::vector<std::string>& urls,
                             const ExpandLimits& limits = {});

// Appends every combination of the line's bracket groups, the last group varying fastest.
// A group starting with a letter reads "%c-%c,%d" (letters, width ignored), any other
// "%d-%d,%d" (numbers zero-padded to the width, at most 19 zeros, written unsigned); parts
// that do not parse are 0 and numbers beyond the int range are clamped to it. Bounds out of
// order are swapped. Counts and lengths are computed before anything is generated: a line
// over a limit adds nothing.
ExpandProblem expand_pattern(std::string_view line, std::vector<std::string>& urls,
                             const ExpandLimits& limits = {});

}  // namespace rg
