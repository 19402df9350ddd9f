#include "platform/autostart.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/data_dir.h"

namespace rg {

namespace {

constexpr std::string_view kDotConfig = "/.config";
constexpr std::string_view kAutostartFolder = "/autostart";
constexpr std::size_t kFirstPathBuffer = 256;
constexpr std::size_t kMaxPathBuffer = 64 * 1024;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7f;

bool is_absolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

// The multi-byte forms of UTF-8: lead byte pattern, continuation bytes, least code point (so
// that overlong forms are refused).
struct Utf8Form {
    unsigned char mask;
    unsigned char pattern;
    std::size_t continuations;
    char32_t least;
};
constexpr Utf8Form kUtf8Forms[] = {
    {0xE0, 0xC0, 1, 0x80},
    {0xF0, 0xE0, 2, 0x800},
    {0xF8, 0xF0, 3, 0x10000},
};
constexpr unsigned char kAsciiEnd = 0x80;
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationPattern = 0x80;
constexpr unsigned kContinuationBits = 6;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;

// Desktop entries are UTF-8; a path that is not cannot be named in one.
bool is_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < kAsciiEnd) {
            ++i;
            continue;
        }
        const Utf8Form* form = nullptr;
        for (const Utf8Form& candidate : kUtf8Forms) {
            if ((lead & candidate.mask) == candidate.pattern)
                form = &candidate;
        }
        if (form == nullptr || text.size() - i <= form->continuations)
            return false;
        char32_t code = lead & static_cast<unsigned char>(~form->mask);
        for (std::size_t k = 1; k <= form->continuations; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & kContinuationMask) != kContinuationPattern)
                return false;
            code = (code << kContinuationBits) |
                   (next & static_cast<unsigned char>(~kContinuationMask));
        }
        if (code < form->least || code > kLastCodePoint ||
            (code >= kFirstSurrogate && code <= kLastSurrogate)) {
            return false;
        }
        i += form->continuations + 1;
    }
    return true;
}

// Exec takes a quoted argument in which '"', '`', '$' and '\' are backslash-escaped and '%' is
// doubled; the value as a whole is then a string, in which every '\' is escaped once more.
std::string exec_value(std::string_view path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted.push_back('\\');
        if (c == '%')
            quoted.push_back('%');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    std::string value;
    for (char c : quoted) {
        if (c == '\\')
            value.push_back('\\');
        value.push_back(c);
    }
    return value;
}

}  // namespace

std::optional<std::string> config_folder(std::string_view xdg_config_home, std::string_view home) {
    if (is_absolute(xdg_config_home))
        return std::string(xdg_config_home);
    if (is_absolute(home))
        return std::string(home) + std::string(kDotConfig);
    return std::nullopt;
}

std::optional<std::string> default_config_folder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    return config_folder(xdg != nullptr ? xdg : "", home != nullptr ? home : "");
}

std::string autostart_entry_path(std::string_view config_folder) {
    std::string path(config_folder);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path.append(kAutostartFolder).append("/").append(kAutostartEntryName);
}

std::optional<std::string> autostart_entry_text(std::string_view executable_path) {
    if (!is_absolute(executable_path) || !is_utf8(executable_path))
        return std::nullopt;
    for (char c : executable_path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < kFirstPrintable || byte == kDelete)
            return std::nullopt;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Reelgrab\n"
           "Exec=" +
           exec_value(executable_path) +
           "\n"
           "Terminal=false\n";
}

AutostartError set_autostart(std::string_view config_folder, std::string_view executable_path,
                             FileOps& ops) {
    const auto text = autostart_entry_text(executable_path);
    if (!text)
        return AutostartError::kBadExecutablePath;
    const std::string path = autostart_entry_path(config_folder);
    if (!make_folders(folder_of(path), kPrivateFolderMode))
        return AutostartError::kWriteFailed;
    if (!write_file_atomically(path, *text, ops))
        return AutostartError::kWriteFailed;
    return AutostartError::kNone;
}

AutostartError clear_autostart(std::string_view config_folder) {
    const std::string path = autostart_entry_path(config_folder);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return AutostartError::kRemoveFailed;
    return AutostartError::kNone;
}

std::optional<std::string> current_executable_path() {
    // readlink does not say whether it truncated, so grow until the answer is shorter.
    for (std::size_t size = kFirstPathBuffer; size <= kMaxPathBuffer; size *= 2) {
        std::vector<char> buffer(size);
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
    }
    return std::nullopt;
}

}  // namespace rg
