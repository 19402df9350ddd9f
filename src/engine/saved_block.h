#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace rg {

// The persisted part of a download. In the list file it is one 5388-byte little-endian piece
// (offsets in saved_block.cpp) whose counts are 32-bit: sizes that do not fit are written as the
// list file's writer decides, and kept whole in its extension. Text fields are NUL-terminated
// 8-bit text in fixed fields.
struct SavedBlock {
    static constexpr std::size_t kUrlSize = 4096;
    static constexpr std::size_t kPathSize = 1024;
    static constexpr std::size_t kCredentialSize = 120;

    char url[kUrlSize] = {};
    char local_path[kPathSize] = {};
    char user_name[kCredentialSize] = {};  // Base64 of the user name, empty when none
    char password[kCredentialSize] = {};   // Base64 of the password, empty when none
    std::int32_t resumable = 0;
    std::int64_t total_size = 0;  // 0 while unknown
    std::int32_t open_when_done = 0;
    std::int32_t range_count = 0;
    std::int64_t downloaded = 0;
    std::int32_t scheduled = 0;
    std::int32_t resume_count = 0;
};

inline constexpr std::size_t kSavedBlockSize = 5388;

using SavedBlockBytes = std::span<std::uint8_t, kSavedBlockSize>;
using ConstSavedBlockBytes = std::span<const std::uint8_t, kSavedBlockSize>;

void encode_saved_block(const SavedBlock& block, SavedBlockBytes out);
// Text fields read from a file may lack their terminator: the last byte of each becomes NUL.
SavedBlock decode_saved_block(ConstSavedBlockBytes in);

// The text of a fixed field, up to its first NUL.
template <std::size_t N>
std::string_view field_text(const char (&field)[N]) {
    std::size_t len = 0;
    while (len < N && field[len] != '\0')
        ++len;
    return {field, len};
}

// Stores `text` in a fixed field, cut to leave room for the terminator; the rest is zeroed.
template <std::size_t N>
void set_field_text(char (&field)[N], std::string_view text) {
    const std::size_t len = text.size() < N ? text.size() : N - 1;
    std::size_t i = 0;
    for (; i < len; ++i)
        field[i] = text[i];
    for (; i < N; ++i)
        field[i] = '\0';
}

}  // namespace rg
