// Splits arbitrary bytes as a URL, with the capacities of every caller and with tiny ones, and
// checks what the callers take for granted about the parts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <arpa/inet.h>

#include <string>

#include "protocols/ipv4_text.h"
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

// The host's dotted form is the resolver's own reading of it, and nothing else.
void check_numeric_host(std::string_view text) {
    const std::string host(text.substr(0, text.find('\0')));
    in_addr address{};
    const bool resolver_number =
        host.find_first_of(" \t\n\v\f\r") == std::string::npos && inet_aton(host.c_str(), &address);
    const auto dotted = rg::numeric_ipv4_host(host);
    check(dotted.has_value() == resolver_number);
    if (dotted)
        check(*dotted == inet_ntoa(address));
}

// Taking the user info out leaves a URL without any, whose host and path are the original's.
void check_user_info(std::string_view url) {
    const rg::UrlWithoutUserInfo taken = rg::take_user_info(url);
    const rg::SplitUrl before = rg::split_url(url);
    const rg::SplitUrl after = rg::split_url(taken.url);
    check(taken.user_info.has_value() == before.has_user_info);
    // Only a URL without a host keeps its user info.
    check(!after.has_user_info ||
          (before.host.empty() && taken.url == url.substr(0, url.find('\0'))));
    check(after.host == before.host);
    check(after.path == before.path);
    check(after.port == before.port);
    if (taken.user_info) {
        check(taken.user_info->user_name.size() + taken.user_info->password.size() < url.size());
    } else {
        check(taken.url == url.substr(0, url.find('\0')));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    split_and_check(url, {});
    check_numeric_host(url);
    check_user_info(url);
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
