// Reads arbitrary bytes as a Retry-After value and as an HTTP-date, with a reference time taken
// from the input, and checks the bounds the HTTP client relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "protocols/connection.h"
#include "protocols/http_date.h"
#include "protocols/http_headers.h"
#include "protocols/retry_after.h"

namespace {

constexpr std::int64_t kLastDate = 253402300799;  // Fri, 31 Dec 9999 23:59:59 GMT

void check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::int64_t now = 0;
    if (size >= sizeof now) {
        std::memcpy(&now, data, sizeof now);
        data += sizeof now;
        size -= sizeof now;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto date = rg::parse_http_date(text))
        check(*date >= 0 && *date <= kLastDate);
    if (const auto wait = rg::parse_retry_after(text, now))
        check(*wait >= 0 && *wait <= rg::kRetryAfterMaxMs);

    // The same value inside an answer, counted from a Date of the input's choosing.
    rg::ResponseHead head;
    check(head.start("HTTP/1.1 503 Service Unavailable"));
    head.add_line(std::string("Retry-After: ").append(text));
    head.add_line(std::string("Date: ").append(text));
    const std::int32_t wait = head.retry_after_ms(now);
    check(wait == rg::kNoRetryAfter || (wait >= 0 && wait <= rg::kRetryAfterMaxMs));
    return 0;
}
