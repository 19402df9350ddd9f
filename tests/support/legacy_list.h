#pragma once

// A reader and a writer of the version-101 list file made from its byte layout alone, as an older
// build reads and writes it: version 101, an item count, then per item a 5388-byte block and, when
// the block's resumable field is 1, range_count ranges of two 32-bit values. The reader reads
// nothing after the counted items. They share no code with the list file's own.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rg::test {

struct LegacyRange {
    std::int32_t start = 0;
    std::int32_t length = 0;
    bool operator==(const LegacyRange&) const = default;
};

struct LegacyItem {
    std::string url;
    std::string local_path;
    std::string user_name;
    std::string password;
    std::int32_t resumable = 0;
    std::int32_t total_size = 0;
    std::int32_t open_when_done = 0;
    std::int32_t range_count = 0;
    std::int32_t downloaded = 0;
    std::int32_t scheduled = 0;
    std::int32_t resume_count = 0;
    std::vector<LegacyRange> ranges;
    bool operator==(const LegacyItem&) const = default;
};

struct LegacyList {
    std::vector<LegacyItem> items;
    std::size_t bytes_read = 0;  // where the counted items end
};

inline std::int32_t legacy_i32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

inline std::string legacy_text(std::string_view bytes, std::size_t at, std::size_t size) {
    const std::string_view field = bytes.substr(at, size);
    return std::string(field.substr(0, field.find('\0')));
}

// None when the file is not a whole version-101 list.
inline std::optional<LegacyList> read_legacy_list(std::string_view bytes) {
    constexpr std::size_t kBlock = 5388;
    LegacyList list;
    if (bytes.empty())
        return list;
    if (bytes.size() < 8 || legacy_i32(bytes, 0) != 101)
        return std::nullopt;
    const std::int32_t count = legacy_i32(bytes, 4);
    std::size_t pos = 8;
    for (std::int32_t i = 0; i < count; ++i) {
        if (bytes.size() - pos < kBlock)
            return std::nullopt;
        const std::string_view b = bytes.substr(pos, kBlock);
        LegacyItem item;
        item.url = legacy_text(b, 0, 4096);
        item.local_path = legacy_text(b, 4096, 1024);
        item.user_name = legacy_text(b, 5120, 120);
        item.password = legacy_text(b, 5240, 120);
        item.resumable = legacy_i32(b, 5360);
        item.total_size = legacy_i32(b, 5364);
        item.open_when_done = legacy_i32(b, 5368);
        item.range_count = legacy_i32(b, 5372);
        item.downloaded = legacy_i32(b, 5376);
        item.scheduled = legacy_i32(b, 5380);
        item.resume_count = legacy_i32(b, 5384);
        pos += kBlock;
        if (item.resumable == 1) {
            for (std::int32_t j = 0; j < item.range_count; ++j) {
                if (bytes.size() - pos < 8)
                    return std::nullopt;
                item.ranges.push_back({legacy_i32(bytes, pos), legacy_i32(bytes, pos + 4)});
                pos += 8;
            }
        }
        list.items.push_back(std::move(item));
    }
    list.bytes_read = pos;
    return list;
}

// Bytes of the version-101 part of a list file; 0 when there is none.
inline std::size_t legacy_part_size(std::string_view bytes) {
    const auto list = read_legacy_list(bytes);
    return list ? list->bytes_read : 0;
}

inline void legacy_put_i32(std::string& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(v >> (8 * i)));
}

inline void legacy_put_text(std::string& out, const std::string& text, std::size_t size) {
    out += text.substr(0, size - 1);
    out.append(size - std::min(text.size(), size - 1), '\0');
}

inline std::string write_legacy_list(const std::vector<LegacyItem>& items) {
    std::string out;
    if (items.empty())
        return out;
    legacy_put_i32(out, 101);
    legacy_put_i32(out, static_cast<std::int32_t>(items.size()));
    for (const LegacyItem& item : items) {
        legacy_put_text(out, item.url, 4096);
        legacy_put_text(out, item.local_path, 1024);
        legacy_put_text(out, item.user_name, 120);
        legacy_put_text(out, item.password, 120);
        for (const std::int32_t v :
             {item.resumable, item.total_size, item.open_when_done, item.range_count,
              item.downloaded, item.scheduled, item.resume_count})
            legacy_put_i32(out, v);
        if (item.resumable != 1)
            continue;
        for (const LegacyRange& r : item.ranges) {
            legacy_put_i32(out, r.start);
            legacy_put_i32(out, r.length);
        }
    }
    return out;
}

}  // namespace rg::test
