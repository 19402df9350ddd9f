#pragma once

#include <atomic>
#include <cstdint>

namespace rg {

// What the Montage of one command asked of the server: requests sent and body bytes received.
// The counting network writes it on the Montage worker; the view reads it for the live line.
struct FetchStats {
    std::atomic<std::int64_t> requests{0};
    // Bytes of the spans that have ended.
    std::atomic<std::int64_t> bytes{0};
    // Bytes received so far by the span being fetched.
    std::atomic<std::int64_t> in_span{0};

    std::int64_t live_bytes() const { return bytes.load() + in_span.load(); }
};

}  // namespace rg
