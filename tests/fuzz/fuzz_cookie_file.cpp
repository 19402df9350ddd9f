// Parses arbitrary bytes as a cookie file and builds Cookie headers from it for a few requests:
// whatever the file holds, the header must stay one bounded line of name=value pairs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocols/cookie_file.h"
#include "protocols/http_headers.h"

namespace {

constexpr std::int64_t kNow = 1700000000;

void check(bool condition) {
    if (!condition)
        std::abort();
}

void check_header(const std::string& header) {
    check(header.size() <= rg::kCookieHeaderMax);
    check(rg::is_safe_header_value(header));
    check(header.find('\t') == std::string::npos);
    check(!header.starts_with("; ") && !header.ends_with("; "));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto cookies = rg::parse_cookie_file(text);
    check(cookies.size() <= rg::kCookieFileMaxCookies);
    for (const rg::Cookie& c : cookies) {
        check(!c.name.empty() && !c.domain.empty() && !c.path.empty());
        check(c.name.find_first_of(";= ") == std::string::npos);
        check(c.value.find(';') == std::string::npos);
        check(rg::is_safe_header_value(c.name + c.value + c.domain));
    }
    const std::string first_domain = cookies.empty() ? "h.example" : cookies.front().domain;
    for (const std::string_view host :
         {std::string_view("h.example"), std::string_view(first_domain)}) {
        for (const std::string_view path : {"/", "/a/b", ""}) {
            check_header(rg::cookie_header_value(cookies, host, path, false, kNow));
            check_header(rg::cookie_header_value(cookies, host, path, true, kNow));
        }
    }
    return 0;
}
