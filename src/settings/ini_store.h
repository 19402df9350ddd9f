#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_ops.h"

namespace rg {

// Larger files are treated as unreadable: a settings file never comes near this, and every
// offset of a parsed document then fits in 32 bits.
inline constexpr std::size_t kIniMaxFileSize = 16 * 1024 * 1024;

enum class IniError {
    kNone,
    kBadSection,   // empty, or holds ']', CR, LF or NUL
    kBadKey,       // empty, starts with ';' or '[', or holds '=', CR, LF or NUL
    kBadValue,     // holds CR, LF or NUL: it would split the line
    kTooLarge,     // the result would exceed kIniMaxFileSize
    kUnreadable,   // the existing file cannot be read; it is left as it is
    kWriteFailed,  // the new file could not be written; the old one stays
};

enum class IniReadStatus { kOk, kMissing, kUnreadable };

struct IniPair {
    std::string key;
    std::string value;
};

// One key line as the profile functions see it: the name trimmed, the value trimmed and stripped
// of one pair of matching surrounding quotes. Views into the document that returned them.
struct IniEntry {
    std::string_view key;
    std::string_view value;
};

// The text of an INI file with an index of its sections and key lines. Section and key names
// compare ignoring ASCII case; the first section of a name and the first key of a name within it
// win. The text is kept byte for byte, so edits leave every other line exactly as it was.
class IniDocument {
  public:
    IniDocument() = default;

    // nullopt when `text` is larger than kIniMaxFileSize.
    static std::optional<IniDocument> parse(std::string text);

    const std::string& text() const { return text_; }

    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;

    // The value, or `fallback` when the key is missing, cut at a NUL byte and to
    // `buffer_size` - 1 characters as a fixed buffer of that size would hold it.
    std::string get_string(std::string_view section, std::string_view key,
                           std::string_view fallback, std::size_t buffer_size) const;

    // `fallback` when the key is missing or its value empty; otherwise the leading optionally
    // signed decimal digits (0 when there are none), saturated to the int32 range.
    std::int32_t get_int(std::string_view section, std::string_view key,
                         std::int32_t fallback) const;

    // Every key line of the first section named `section`, in file order, duplicates included.
    std::vector<IniEntry> entries(std::string_view section) const;

    // Replaces each key's first line in place, appends missing keys after the last non-blank
    // line of the section and a missing section at the end. A key given twice takes its last
    // value. Nothing changes unless every name and value is acceptable.
    IniError set(std::string_view section, std::span<const IniPair> pairs);

    // The checks of set() without a document: names, values and a bound on the size.
    static IniError validate(std::string_view section, std::span<const IniPair> pairs);

  private:
    struct KeyLine {
        std::uint32_t line_begin;
        std::uint32_t line_end;  // before the line terminator
        std::uint32_t key_begin;
        std::uint32_t key_size;
        std::uint32_t value_begin;
        std::uint32_t value_size;
    };
    struct Section {
        std::uint32_t name_begin;
        std::uint32_t name_size;
        std::uint32_t body_begin;  // first byte after the header line
        std::uint32_t body_end;    // start of the next header, or the end of the text
        std::uint32_t first_key;   // index into keys_
        std::uint32_t key_count;
    };

    void index();
    const Section* find_section(std::string_view name) const;
    const KeyLine* find_key(const Section& section, std::string_view key) const;
    std::string_view view(std::uint32_t begin, std::uint32_t size) const {
        return std::string_view(text_).substr(begin, size);
    }
    std::string_view line_break() const;

    std::string text_;
    std::vector<KeyLine> keys_;
    std::vector<Section> sections_;
};

struct IniReadResult {
    IniReadStatus status = IniReadStatus::kMissing;
    IniDocument document;  // empty unless status is kOk
    int sys_error = 0;
};

// One INI file on disk. Every write reads the current file, edits it and replaces it as a whole
// (temporary file, fsync, rename, mode 0600), so a crash leaves the old or the new file and a
// group of keys lands together or not at all.
class IniStore {
  public:
    explicit IniStore(std::string path, FileOps& ops = system_file_ops());
    IniStore(const IniStore&) = delete;
    IniStore& operator=(const IniStore&) = delete;

    const std::string& path() const { return path_; }

    IniReadResult read() const;

    // Creates the file when it is missing. False leaves the file untouched.
    bool write(std::string_view section, std::span<const IniPair> pairs, IniError* error = nullptr);

  private:
    std::string path_;
    FileOps& ops_;
    std::mutex write_mutex_;  // one read-modify-write at a time
};

}  // namespace rg
