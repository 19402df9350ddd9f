#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rg {

inline constexpr int kBase64Ok = 0;
inline constexpr int kBase64Invalid = -1;
inline constexpr int kBase64NoRoom = -2;

// Capacity of the credential fields of a download (119 characters and the terminator).
inline constexpr std::size_t kCredentialCapacity = 119;

// Every group of three bytes becomes four characters.
inline constexpr std::size_t kBase64GroupBytes = 3;
inline constexpr std::size_t kBase64GroupChars = 4;

constexpr std::size_t base64_encoded_length(std::size_t input_length) {
    return (input_length + kBase64GroupBytes - 1) / kBase64GroupBytes * kBase64GroupChars;
}

// RFC 4648 alphabet with '=' padding, no line breaks. Writes the encoded length to
// `encoded_length` when given. Returns kBase64NoRoom and writes nothing when `capacity` is below
// the encoded length; appends a NUL only when the capacity exceeds it.
int base64_encode(std::size_t* encoded_length, std::span<const unsigned char> input, char* output,
                  std::size_t capacity);

// Room base64_decode asks of its output for `input_length`: three bytes per whole group, as if
// no group were padded, and the terminator.
constexpr std::size_t base64_decode_capacity(std::size_t input_length) {
    return input_length / kBase64GroupChars * kBase64GroupBytes + 1;
}

// Decodes floor(input_length / 4) groups of `text`, after skipping a leading "+ ". The count is
// the caller's, taken before the skip, so a skipped prefix shifts the groups into the text that
// follows; characters past the end of `text` count as invalid, as the terminator of a C string
// would. Returns kBase64Invalid on an empty input or a character outside
// the alphabet (the bytes before it stay written), or, before writing anything, when `output` is
// smaller than base64_decode_capacity(input_length). On success writes the NUL and the byte count.
int base64_decode(std::size_t input_length, std::string_view text, std::span<unsigned char> output,
                  std::size_t* byte_count);

// Encodes into a string; nullopt when the encoded text and its terminator would not fit in
// `capacity` characters (the fixed fields of the stored forms).
std::optional<std::string> base64_encode_text(std::string_view plain, std::size_t capacity);

// Decodes the whole of `text`; nullopt on invalid input. The result stops at the first NUL byte,
// as the C strings of the stored forms do.
std::optional<std::string> base64_decode_text(std::string_view text);

}  // namespace rg
