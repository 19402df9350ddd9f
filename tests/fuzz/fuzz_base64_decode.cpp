// Decodes arbitrary text into outputs of exactly the size the decoder may use (so any write past
// them is caught by the address sanitizer), and round-trips arbitrary bytes through the encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/base64.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void decode_and_check(std::string_view text, std::size_t input_length, std::size_t room) {
    std::vector<unsigned char> output(room);
    std::size_t count = SIZE_MAX;
    const int rc = rg::base64_decode(input_length, text, output, &count);
    check(rc == rg::kBase64Ok || rc == rg::kBase64Invalid);
    if (rc == rg::kBase64Ok) {
        check(count <= input_length / rg::kBase64GroupChars * rg::kBase64GroupBytes);
        check(count < output.size());
        check(output[count] == 0);
    } else {
        check(count == SIZE_MAX);
    }
}

void round_trip(std::span<const unsigned char> bytes) {
    const std::size_t encoded = rg::base64_encoded_length(bytes.size());
    std::vector<char> text(encoded);  // exactly the length: no terminator may be written
    std::size_t reported = 0;
    check(rg::base64_encode(&reported, bytes, text.data(), text.size()) == rg::kBase64Ok);
    check(reported == encoded);
    if (encoded > 0)
        check(rg::base64_encode(nullptr, bytes, text.data(), encoded - 1) == rg::kBase64NoRoom);

    std::vector<unsigned char> decoded(rg::base64_decode_capacity(encoded));
    std::size_t count = 0;
    const std::string_view view(text.data(), text.size());
    const int rc = rg::base64_decode(view.size(), view, std::span(decoded), &count);
    if (bytes.empty()) {
        check(rc == rg::kBase64Invalid);  // empty text is refused
        return;
    }
    check(rc == rg::kBase64Ok);
    check(count == bytes.size());
    check(std::memcmp(decoded.data(), bytes.data(), count) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t needed = rg::base64_decode_capacity(size);
    decode_and_check(text, size, needed);
    // A count past the text, and outputs one byte too small or empty.
    decode_and_check(text, size + rg::kBase64GroupChars, needed + rg::kBase64GroupBytes);
    decode_and_check(text, size, needed - 1);
    decode_and_check(text, size, 0);

    const std::string plain(text);
    const auto encoded = rg::base64_encode_text(plain, rg::base64_encoded_length(size) + 1);
    check(encoded.has_value());
    const auto decoded = rg::base64_decode_text(*encoded);
    if (size > 0) {
        check(decoded.has_value());
        check(*decoded == plain.substr(0, plain.find('\0')));
    }
    round_trip({data, size});
    return 0;
}
