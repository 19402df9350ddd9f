// Splits arbitrary bytes as a URL, with the capacities of every caller and with tiny ones, and
// checks what the callers take for granted about the parts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocols/url_split.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool fits(const std::string& field, std::size_t capacity) {
    return capacity == 0 ? field.empty() : field.size() < capacity;
}

bool has_lower_ascii(std::string_view text) {
    for (char c : text) {
        if (c >= 'a' && c <= 'z')
            return true;
    }
    return false;
}

bool is_host_name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void split_and_check(std::string_view url, const rg::SplitCapacities& capacities) {
    const rg::SplitUrl u = rg::split_url(url, capacities);
    const std::string_view text = url.substr(0, url.find('\0'));

    check(fits(u.scheme, capacities.scheme));
    check(fits(u.host, capacities.host));
    check(fits(u.path, capacities.path));
    check(!has_lower_ascii(u.scheme));
    for (char c : u.host)
        check(is_host_name_char(c));
    check(u.scheme.find('\0') == std::string::npos);
    check(u.path.find('\0') == std::string::npos);
    // The path is taken, case kept, from the end of the URL.
    check(text.find(u.path) != std::string_view::npos);
    if (!u.truncated)
        check(text.ends_with(u.path));
    if (u.port)
        check(text.find(':') != std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    split_and_check(url, {});
    split_and_check(url, rg::kClientSplitCapacities);
    split_and_check(url, rg::kIntakeSplitCapacities);
    if (size >= 3) {
        // Small capacities taken from the input itself reach every truncation edge.
        constexpr std::size_t kSmallCapacities = 8;
        split_and_check(url.substr(3), {data[0] % kSmallCapacities, data[1] % kSmallCapacities,
                                        data[2] % kSmallCapacities});
    }
    return 0;
}
