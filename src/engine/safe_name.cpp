#include "engine/safe_name.h"

namespace rg {

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7f;
// An extension longer than this is not kept whole when the name must be cut.
constexpr std::size_t kLongestKeptExtension = 16;

bool is_trimmed(char c) {
    return c == '.' || c == ' ';
}

// Cuts a UTF-8 text to at most `max` bytes without splitting a character.
std::string_view cut_utf8(std::string_view text, std::size_t max) {
    if (text.size() <= max)
        return text;
    std::size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

}  // namespace

std::optional<std::string> safe_file_name(std::string_view name) {
    const auto nul = name.find('\0');
    if (nul != std::string_view::npos)
        name = name.substr(0, nul);
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name = name.substr(slash + 1);

    std::string clean;
    clean.reserve(name.size());
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < kFirstPrintable || u == kDelete)
            continue;
        clean.push_back(c);
    }
    std::size_t first = 0;
    while (first < clean.size() && is_trimmed(clean[first]))
        ++first;
    std::size_t last = clean.size();
    while (last > first && is_trimmed(clean[last - 1]))
        --last;
    std::string_view trimmed = std::string_view(clean).substr(first, last - first);
    if (trimmed.empty())
        return std::nullopt;
    if (trimmed.size() <= kSafeNameMaxBytes)
        return std::string(trimmed);

    const auto dot = trimmed.rfind('.');
    std::string_view ext;
    if (dot != std::string_view::npos && trimmed.size() - dot <= kLongestKeptExtension) {
        ext = trimmed.substr(dot);
        trimmed = trimmed.substr(0, dot);
    }
    std::string out(cut_utf8(trimmed, kSafeNameMaxBytes - ext.size()));
    while (!out.empty() && is_trimmed(out.back()))
        out.pop_back();
    if (out.empty())
        return std::nullopt;
    out += ext;
    return out;
}

}  // namespace rg
