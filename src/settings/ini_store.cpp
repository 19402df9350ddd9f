#include "settings/ini_store.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <unordered_map>

#include "platform/ascii_text.h"
#include "platform/atomic_file.h"

namespace rg {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::string_view kLf = "\n";
constexpr std::string_view kCrLf = "\r\n";

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool has_line_breaking_byte(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool is_blank_line(std::string_view line) {
    return trimmed(line).empty();
}

// The values are C strings to their readers; a NUL ends them.
std::string_view up_to_nul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// Each line spans [begin, content_end) and its terminator up to `next`.
struct LineSpan {
    std::size_t begin;
    std::size_t content_end;
    std::size_t next;
};

LineSpan line_at(std::string_view text, std::size_t begin) {
    const std::size_t lf = text.find('\n', begin);
    if (lf == std::string_view::npos)
        return {begin, text.size(), text.size()};
    const std::size_t content_end = (lf > begin && text[lf - 1] == '\r') ? lf - 1 : lf;
    return {begin, content_end, lf + 1};
}

}  // namespace

std::optional<IniDocument> IniDocument::parse(std::string text) {
    if (text.size() > kIniMaxFileSize)
        return std::nullopt;
    IniDocument doc;
    doc.text_ = std::move(text);
    doc.index();
    return doc;
}

void IniDocument::index() {
    keys_.clear();
    sections_.clear();
    const std::string_view text(text_);
    auto offset = [](std::size_t value) { return static_cast<std::uint32_t>(value); };

    for (std::size_t pos = 0; pos < text.size();) {
        const LineSpan line = line_at(text, pos);
        pos = line.next;
        std::size_t first = line.begin;
        while (first < line.content_end && is_blank(text[first]))
            ++first;
        if (first == line.content_end || text[first] == ';')
            continue;
        const std::string_view content = text.substr(first, line.content_end - first);

        if (content.front() == '[') {
            // Like the profile functions, the name runs to the last ']' of the line; a '['
            // line without one falls through and is read as a key line.
            const std::size_t close = content.rfind(']');
            if (close != std::string_view::npos) {
                const std::string_view name = trimmed(content.substr(1, close - 1));
                if (!sections_.empty())
                    sections_.back().body_end = offset(line.begin);
                sections_.push_back({offset(name.data() - text.data()), offset(name.size()),
                                     offset(line.next), offset(text.size()), offset(keys_.size()),
                                     0});
                continue;
            }
        }
        // Lines before the first section and lines without '=' are kept but hold no key.
        const std::size_t equals = content.find('=');
        if (sections_.empty() || equals == std::string_view::npos)
            continue;
        const std::string_view key = trimmed(content.substr(0, equals));
        std::string_view value = trimmed(content.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        keys_.push_back({offset(line.begin), offset(line.content_end),
                         offset(key.data() - text.data()), offset(key.size()),
                         offset(value.data() - text.data()), offset(value.size())});
        ++sections_.back().key_count;
    }
}

const IniDocument::Section* IniDocument::find_section(std::string_view name) const {
    name = trimmed(name);
    for (const Section& section : sections_) {
        if (equal_ignoring_case(view(section.name_begin, section.name_size), name))
            return &section;
    }
    return nullptr;
}

const IniDocument::KeyLine* IniDocument::find_key(const Section& section,
                                                  std::string_view key) const {
    key = trimmed(key);
    if (key.empty())
        return nullptr;
    for (std::uint32_t i = 0; i < section.key_count; ++i) {
        const KeyLine& line = keys_[section.first_key + i];
        if (equal_ignoring_case(view(line.key_begin, line.key_size), key))
            return &line;
    }
    return nullptr;
}

std::optional<std::string_view> IniDocument::find(std::string_view section,
                                                  std::string_view key) const {
    const Section* found = find_section(section);
    if (found == nullptr)
        return std::nullopt;
    const KeyLine* line = find_key(*found, key);
    if (line == nullptr)
        return std::nullopt;
    return view(line->value_begin, line->value_size);
}

std::string IniDocument::get_string(std::string_view section, std::string_view key,
                                    std::string_view fallback, std::size_t buffer_size) const {
    if (buffer_size == 0)
        return {};
    const std::string_view value = up_to_nul(find(section, key).value_or(fallback));
    return std::string(value.substr(0, buffer_size - 1));
}

std::int32_t IniDocument::get_int(std::string_view section, std::string_view key,
                                  std::int32_t fallback) const {
    const auto found = find(section, key);
    if (!found)
        return fallback;
    std::string_view value = up_to_nul(*found);
    if (value.empty())
        return fallback;

    while (!value.empty() && is_blank(value.front()))
        value.remove_prefix(1);
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    // Accumulate in 64 bits and stop growing once past the int32 range, so any number of
    // digits saturates instead of overflowing.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            break;
        magnitude = std::min(magnitude * 10 + (c - '0'), kLimit);
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(result, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

std::vector<IniEntry> IniDocument::entries(std::string_view section) const {
    std::vector<IniEntry> out;
    const Section* found = find_section(section);
    if (found == nullptr)
        return out;
    out.reserve(found->key_count);
    for (std::uint32_t i = 0; i < found->key_count; ++i) {
        const KeyLine& line = keys_[found->first_key + i];
        out.push_back(
            {view(line.key_begin, line.key_size), view(line.value_begin, line.value_size)});
    }
    return out;
}

std::string_view IniDocument::line_break() const {
    const std::size_t lf = text_.find('\n');
    if (lf != std::string::npos && lf > 0 && text_[lf - 1] == '\r')
        return kCrLf;
    return kLf;
}

IniError IniDocument::validate(std::string_view section, std::span<const IniPair> pairs) {
    section = trimmed(section);
    if (section.empty() || section.find(']') != std::string_view::npos ||
        has_line_breaking_byte(section)) {
        return IniError::kBadSection;
    }
    std::size_t added_bytes = 0;
    for (const IniPair& pair : pairs) {
        const std::string_view key = trimmed(pair.key);
        if (key.empty() || key.front() == ';' || key.front() == '[' ||
            key.find('=') != std::string_view::npos || has_line_breaking_byte(key)) {
            return IniError::kBadKey;
        }
        if (has_line_breaking_byte(pair.value))
            return IniError::kBadValue;
        added_bytes += key.size() + pair.value.size() + kCrLf.size() + 1;
    }
    // A cheap bound first, so that a huge value is refused before anything is built.
    if (section.size() + added_bytes > kIniMaxFileSize)
        return IniError::kTooLarge;
    return IniError::kNone;
}

IniError IniDocument::set(std::string_view section_name, std::span<const IniPair> pairs) {
    if (const IniError checked = validate(section_name, pairs); checked != IniError::kNone)
        return checked;
    section_name = trimmed(section_name);

    // Keys given more than once keep their first position and take their last value.
    struct Wanted {
        std::string_view key;
        std::string_view value;
        const KeyLine* line = nullptr;
    };
    std::vector<Wanted> wanted;
    std::unordered_map<std::string, std::size_t> by_key;
    std::size_t longest_key = 0;
    for (const IniPair& pair : pairs) {
        const std::string_view key = trimmed(pair.key);
        const auto [it, inserted] = by_key.try_emplace(ascii_lowered(key), wanted.size());
        if (inserted) {
            wanted.push_back({key, pair.value});
            longest_key = std::max(longest_key, key.size());
        } else {
            wanted[it->second].value = pair.value;
        }
    }
    if (wanted.empty())
        return IniError::kNone;

    const Section* section = find_section(section_name);
    if (section != nullptr) {
        std::string folded;
        for (std::uint32_t i = 0; i < section->key_count; ++i) {
            const KeyLine& line = keys_[section->first_key + i];
            if (line.key_size > longest_key)
                continue;
            folded = ascii_lowered(view(line.key_begin, line.key_size));
            const auto it = by_key.find(folded);
            if (it != by_key.end() && wanted[it->second].line == nullptr)
                wanted[it->second].line = &line;
        }
    }

    const std::string_view text(text_);
    const std::string_view newline = line_break();
    std::string missing;
    for (const Wanted& w : wanted) {
        if (w.line == nullptr)
            missing.append(w.key).append("=").append(w.value).append(newline);
    }

    // Missing keys go after the last non-blank line of the section (so the blank line before
    // the next header stays there), or right after the header when the section has none. Every
    // key line of the section therefore lies before the insertion point.
    std::size_t insert_at = text.size();
    std::string insertion;
    if (section != nullptr) {
        insert_at = section->body_begin;
        for (std::size_t pos = section->body_begin; pos < section->body_end;) {
            const LineSpan line = line_at(text, pos);
            if (!is_blank_line(text.substr(line.begin, line.content_end - line.begin)))
                insert_at = line.next;
            pos = line.next;
        }
        if (!missing.empty() && insert_at > 0 && text[insert_at - 1] != '\n')
            insertion.append(newline);
        insertion.append(missing);
    } else {
        if (!text.empty()) {
            std::string_view body = text;
            if (body.back() == '\n')
                body.remove_suffix(1);
            else
                insertion.append(newline);
            const std::size_t lf = body.rfind('\n');
            if (!is_blank_line(lf == std::string_view::npos ? body : body.substr(lf + 1)))
                insertion.append(newline);
        }
        insertion.append("[").append(section_name).append("]").append(newline).append(missing);
    }

    std::vector<const Wanted*> replaced;
    std::size_t replaced_bytes = 0;
    for (const Wanted& w : wanted) {
        if (w.line != nullptr) {
            replaced.push_back(&w);
            replaced_bytes += w.line->key_size + 1 + w.value.size();
        }
    }
    std::sort(replaced.begin(), replaced.end(), [](const Wanted* a, const Wanted* b) {
        return a->line->line_begin < b->line->line_begin;
    });

    std::string out;
    out.reserve(text.size() + insertion.size() + replaced_bytes);
    std::size_t copied = 0;
    for (const Wanted* w : replaced) {
        out.append(text.substr(copied, w->line->line_begin - copied));
        // The key keeps its spelling in the file; only the value changes.
        out.append(view(w->line->key_begin, w->line->key_size)).append("=").append(w->value);
        copied = w->line->line_end;
    }
    out.append(text.substr(copied, insert_at - copied)).append(insertion);
    out.append(text.substr(insert_at));

    if (out.size() > kIniMaxFileSize)
        return IniError::kTooLarge;
    text_ = std::move(out);
    index();
    return IniError::kNone;
}

IniStore::IniStore(std::string path, FileOps& ops) : path_(std::move(path)), ops_(ops) {}

IniReadResult IniStore::read() const {
    IniReadResult result;
    auto unreadable = [&](int err) {
        result.status = IniReadStatus::kUnreadable;
        result.sys_error = err != 0 ? err : EIO;
        return std::move(result);
    };

    // Looked at before opening, so that a FIFO or a device in its place is not opened at all.
    std::error_code ec;
    const auto status = std::filesystem::status(path_, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        result.status = IniReadStatus::kMissing;
        return result;
    }
    if (ec)
        return unreadable(ec.value());
    if (!std::filesystem::is_regular_file(status))
        return unreadable(EINVAL);

    errno = 0;
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        const int err = errno;
        if (!std::filesystem::exists(path_, ec) && !ec) {
            result.status = IniReadStatus::kMissing;
            return result;
        }
        return unreadable(err);
    }
    std::string text;
    std::vector<char> chunk(kReadChunk);
    while (text.size() <= kIniMaxFileSize) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (!in)
            break;
    }
    if (in.bad())
        return unreadable(EIO);
    auto document = IniDocument::parse(std::move(text));
    if (!document)
        return unreadable(EFBIG);
    result.status = IniReadStatus::kOk;
    result.document = std::move(*document);
    return result;
}

bool IniStore::write(std::string_view section, std::span<const IniPair> pairs, IniError* error) {
    auto finish = [&](IniError outcome) {
        if (error != nullptr)
            *error = outcome;
        return outcome == IniError::kNone;
    };

    // Checked before the file is read, so that a bad name or value is reported as such whatever
    // state the file is in.
    if (const IniError checked = IniDocument::validate(section, pairs); checked != IniError::kNone)
        return finish(checked);
    if (pairs.empty())
        return finish(IniError::kNone);

    std::lock_guard lock(write_mutex_);
    IniReadResult current = read();
    if (current.status == IniReadStatus::kUnreadable)
        return finish(IniError::kUnreadable);
    if (const IniError edited = current.document.set(section, pairs); edited != IniError::kNone)
        return finish(edited);
    if (!write_file_atomically(path_, current.document.text(), ops_))
        return finish(IniError::kWriteFailed);
    return finish(IniError::kNone);
}

}  // namespace rg
