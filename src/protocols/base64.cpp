#include "protocols/base64.h"

#include <array>
#include <cstring>
#include <vector>

namespace rg {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotInAlphabet = -1;
constexpr int kPad = -2;

constexpr std::array<int, 256> make_decode_table() {
    std::array<int, 256> table{};
    for (int& v : table)
        v = kNotInAlphabet;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    table[static_cast<unsigned char>('=')] = kPad;
    return table;
}

constexpr std::array<int, 256> kDecode = make_decode_table();

}  // namespace

int base64_encode(std::size_t* encoded_length, std::span<const unsigned char> input, char* output,
                  std::size_t capacity) {
    const std::size_t needed = base64_encoded_length(input.size());
    if (encoded_length != nullptr)
        *encoded_length = needed;
    if (capacity < needed)
        return kBase64NoRoom;

    std::size_t out = 0;
    std::size_t i = 0;
    for (; i + 3 <= input.size(); i += 3) {
        const unsigned v = (input[i] << 16) | (input[i + 1] << 8) | input[i + 2];
        output[out++] = kAlphabet[(v >> 18) & 63];
        output[out++] = kAlphabet[(v >> 12) & 63];
        output[out++] = kAlphabet[(v >> 6) & 63];
        output[out++] = kAlphabet[v & 63];
    }
    const std::size_t rest = input.size() - i;
    if (rest == 1) {
        const unsigned v = input[i] << 16;
        output[out++] = kAlphabet[(v >> 18) & 63];
        output[out++] = kAlphabet[(v >> 12) & 63];
        output[out++] = '=';
        output[out++] = '=';
    } else if (rest == 2) {
        const unsigned v = (input[i] << 16) | (input[i + 1] << 8);
        output[out++] = kAlphabet[(v >> 18) & 63];
        output[out++] = kAlphabet[(v >> 12) & 63];
        output[out++] = kAlphabet[(v >> 6) & 63];
        output[out++] = '=';
    }
    if (capacity > needed)
        output[out] = '\0';
    return kBase64Ok;
}

int base64_decode(std::size_t input_length, std::string_view text, std::span<unsigned char> output,
                  std::size_t* byte_count) {
    std::string_view rest = text;
    if (rest.size() >= 2 && rest[0] == '+' && rest[1] == ' ')
        rest.remove_prefix(2);
    if (rest.empty())
        return kBase64Invalid;

    const std::size_t groups = input_length / kBase64GroupChars;
    if (output.size() < base64_decode_capacity(input_length))
        return kBase64Invalid;

    auto symbol = [&](std::size_t pos) {
        if (pos >= rest.size())
            return kNotInAlphabet;
        return kDecode[static_cast<unsigned char>(rest[pos])];
    };

    std::size_t out = 0;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t p = g * 4;
        const int a = symbol(p);
        const int b = symbol(p + 1);
        const int c = symbol(p + 2);
        const int d = symbol(p + 3);
        if (a < 0 || b < 0 || c == kNotInAlphabet || d == kNotInAlphabet)
            return kBase64Invalid;
        output[out++] = static_cast<unsigned char>((a << 2) | (b >> 4));
        if (c == kPad)
            continue;
        output[out++] = static_cast<unsigned char>(((b & 15) << 4) | (c >> 2));
        if (d == kPad)
            continue;
        output[out++] = static_cast<unsigned char>(((c & 3) << 6) | d);
    }
    output[out] = 0;
    if (byte_count != nullptr)
        *byte_count = out;
    return kBase64Ok;
}

std::optional<std::string> base64_encode_text(std::string_view plain, std::size_t capacity) {
    const std::size_t needed = base64_encoded_length(plain.size());
    if (needed >= capacity)
        return std::nullopt;
    std::string out(needed + 1, '\0');
    const auto* bytes = reinterpret_cast<const unsigned char*>(plain.data());
    if (base64_encode(nullptr, {bytes, plain.size()}, out.data(), out.size()) != kBase64Ok) {
        return std::nullopt;
    }
    out.resize(needed);
    return out;
}

std::optional<std::string> base64_decode_text(std::string_view text) {
    std::vector<unsigned char> buffer(base64_decode_capacity(text.size()));
    std::size_t count = 0;
    if (base64_decode(text.size(), text, buffer, &count) != kBase64Ok)
        return std::nullopt;
    std::string out(reinterpret_cast<const char*>(buffer.data()), count);
    const auto nul = out.find('\0');
    if (nul != std::string::npos)
        out.resize(nul);
    return out;
}

}  // namespace rg
