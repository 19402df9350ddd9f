#include "intake/url_list_expansion.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace rg {

namespace {

constexpr std::string_view kLineBreaks = "\r\n";
constexpr std::string_view kSpaceCharacters = " \t\n\v\f\r";
constexpr std::size_t kExcerptMax = 80;
constexpr std::int64_t kMostZeros = 19;
constexpr std::int64_t kFirstPrintable = 0x20;
constexpr std::int64_t kLastPrintable = 0x7E;
constexpr int kDecimalBase = 10;
constexpr std::int64_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();
// Room for an unsigned 32-bit number.
constexpr std::size_t kNumberBuffer = 16;

struct Group {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t width = 0;
    bool numeric = true;
    std::int64_t count = 1;
    std::size_t longest = 0;  // characters of its longest value
};

struct Pattern {
    std::vector<std::string_view> segments;  // one more than groups
    std::vector<Group> groups;
};

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// sscanf's "%d": leading white space, an optional sign, at least one digit. Advances `pos`
// past what was read; nothing is read when there are no digits.
bool scan_int(std::string_view text, std::size_t& pos, std::int64_t& value) {
    std::size_t i = std::min(text.find_first_not_of(kSpaceCharacters, pos), text.size());
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digits_start = i;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min(magnitude * kDecimalBase + (text[i] - '0'), kIntMax + 1);
    if (i == digits_start)
        return false;
    value = std::clamp(negative ? -magnitude : magnitude, kIntMin, kIntMax);
    pos = i;
    return true;
}

bool literal(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

std::size_t decimal_length(std::uint64_t v) {
    std::size_t n = 1;
    while (v >= static_cast<std::uint64_t>(kDecimalBase)) {
        v /= kDecimalBase;
        ++n;
    }
    return n;
}

std::size_t signed_length(std::int64_t v) {
    return v < 0 ? 1 + decimal_length(static_cast<std::uint64_t>(-v)) : decimal_length(v);
}

std::uint32_t as_unsigned(std::int64_t v) {
    return static_cast<std::uint32_t>(v);
}

std::size_t zeros_for(const Group& g, std::int64_t v) {
    const auto len = static_cast<std::int64_t>(signed_length(v));
    return g.width > len ? static_cast<std::size_t>(std::min(g.width - len, kMostZeros)) : 0;
}

std::size_t rendered_length(const Group& g, std::int64_t v) {
    return zeros_for(g, v) + decimal_length(as_unsigned(v));
}

// The length of a numeric value grows with it for values from 0 up; for negative values
// (written as large unsigned numbers of ten digits) it is longest for the one nearest 0.
std::size_t longest_value(const Group& g) {
    if (!g.numeric)
        return 1;
    std::size_t longest = rendered_length(g, g.last);
    if (g.first < 0)
        longest = std::max(longest, rendered_length(g, std::min<std::int64_t>(g.last, -1)));
    return longest;
}

Group parse_group(std::string_view text) {
    Group g;
    std::size_t pos = 0;
    if (!text.empty() && is_letter(text[0])) {
        g.numeric = false;
        g.first = static_cast<unsigned char>(text[0]);
        pos = 1;
        if (literal(text, pos, '-') && pos < text.size()) {
            g.last = static_cast<unsigned char>(text[pos]);
            ++pos;
            if (literal(text, pos, ','))
                scan_int(text, pos, g.width);
        }
    } else if (scan_int(text, pos, g.first) && literal(text, pos, '-') &&
               scan_int(text, pos, g.last) && literal(text, pos, ',')) {
        scan_int(text, pos, g.width);
    }
    if (g.last < g.first)
        std::swap(g.first, g.last);
    g.count = g.last - g.first + 1;
    g.longest = longest_value(g);
    return g;
}

Pattern parse_pattern(std::string_view line) {
    Pattern p;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = line.find('[', pos);
        const std::size_t close = open == std::string_view::npos ? open : line.find(']', open + 1);
        if (close == std::string_view::npos)
            break;
        p.segments.push_back(line.substr(pos, open - pos));
        p.groups.push_back(parse_group(line.substr(open + 1, close - open - 1)));
        pos = close + 1;
    }
    p.segments.push_back(line.substr(pos));
    return p;
}

void append_value(std::string& out, const Group& g, std::int64_t v) {
    if (!g.numeric) {
        out += static_cast<char>(v);
        return;
    }
    out.append(zeros_for(g, v), '0');
    char digits[kNumberBuffer];
    const auto end = std::to_chars(digits, digits + sizeof digits, as_unsigned(v)).ptr;
    out.append(digits, end);
}

std::string excerpt_of(std::string_view line) {
    return std::string(line.substr(0, kExcerptMax));
}

}  // namespace

bool is_pattern_line(std::string_view line) {
    const auto open = line.find('[');
    const auto close = line.find(']');
    const auto dash = line.find('-');
    return open != std::string_view::npos && close != std::string_view::npos && open < close &&
           dash != std::string_view::npos && open < dash && dash < close;
}

ExpandProblem expand_pattern(std::string_view line, std::vector<std::string>& urls,
                             const ExpandLimits& limits) {
    const Pattern p = parse_pattern(line);

    std::size_t total = 1;
    std::size_t longest = 0;
    for (const auto& s : p.segments)
        longest += s.size();
    if (longest > limits.longest_url)
        return ExpandProblem::kTooLong;
    for (const Group& g : p.groups) {
        if (!g.numeric && (g.first < kFirstPrintable || g.last > kLastPrintable))
            return ExpandProblem::kControlCharacters;
        const auto count = static_cast<std::uint64_t>(g.count);
        if (count > limits.most_urls / total)
            return ExpandProblem::kTooManyUrls;
        total *= static_cast<std::size_t>(count);
        longest += g.longest;
        if (longest > limits.longest_url)
            return ExpandProblem::kTooLong;
    }
    if (total == 0 || total > limits.most_urls)
        return ExpandProblem::kTooManyUrls;
    if (longest != 0 && total > limits.most_bytes / longest)
        return ExpandProblem::kTooManyUrls;

    // block[i]: how many consecutive entries share the value of group i.
    std::vector<std::size_t> block(p.groups.size(), 1);
    for (std::size_t i = p.groups.size(); i-- > 1;)
        block[i - 1] = block[i] * static_cast<std::size_t>(p.groups[i].count);

    urls.reserve(urls.size() + total);
    for (std::size_t k = 0; k < total; ++k) {
        std::string url;
        url.reserve(longest);
        url.append(p.segments[0]);
        for (std::size_t i = 0; i < p.groups.size(); ++i) {
            const Group& g = p.groups[i];
            const auto j =
                static_cast<std::int64_t>((k / block[i]) % static_cast<std::size_t>(g.count));
            append_value(url, g, g.first + j);
            url.append(p.segments[i + 1]);
        }
        urls.push_back(std::move(url));
    }
    return ExpandProblem::kNone;
}

ExpandResult expand_url_list(std::string_view text, std::vector<std::string>& urls,
                             const ExpandLimits& limits) {
    ExpandResult result;
    std::size_t bytes = 0;
    std::size_t line_number = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of(kLineBreaks, pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty())
            continue;
        ++line_number;

        const ExpandLimits left{limits.most_urls - result.added, limits.longest_url,
                                limits.most_bytes - bytes};
        const std::size_t before = urls.size();
        ExpandProblem problem = ExpandProblem::kNone;
        if (is_pattern_line(line)) {
            problem = expand_pattern(line, urls, left);
        } else if (line.size() > left.longest_url) {
            problem = ExpandProblem::kTooLong;
        } else if (left.most_urls == 0 || line.size() > left.most_bytes) {
            problem = ExpandProblem::kTooManyUrls;
        } else {
            urls.emplace_back(line);
        }
        if (problem != ExpandProblem::kNone) {
            result.refused.push_back({line_number, excerpt_of(line), problem});
            continue;
        }
        for (std::size_t i = before; i < urls.size(); ++i)
            bytes += urls[i].size();
        result.added += urls.size() - before;
    }
    return result;
}

}  // namespace rg
