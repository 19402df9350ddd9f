// Expands arbitrary text as the New Download dialog's URL list, with the real limits and with
// tiny ones taken from the input, and checks the limits and what the callers rely on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "intake/url_list_expansion.h"

namespace {

// The real bound on length; fewer URLs and less text in all, so that runs stay fast (the
// arithmetic against the limits is the same for any limit).
constexpr std::size_t kFuzzUrls = 4096;
constexpr std::size_t kFuzzBytes = std::size_t{1} << 20;
constexpr std::size_t kSmallLimit = 64;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

void check(bool condition) {
    if (!condition)
        std::abort();
}

void expand_and_check(std::string_view text, const rg::ExpandLimits& limits) {
    std::vector<std::string> urls{"kept"};
    const rg::ExpandResult result = rg::expand_url_list(text, urls, limits);
    check(urls.front() == "kept");
    check(urls.size() == 1 + result.added);
    check(result.added <= limits.most_urls);
    std::size_t bytes = 0;
    for (std::size_t i = 1; i < urls.size(); ++i) {
        const std::string& url = urls[i];
        check(!url.empty());
        check(url.size() <= limits.longest_url);
        check(url.find_first_of("\r\n") == std::string::npos);
        // Expansion writes only digits and printable letters of its own.
        for (char c : url) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < kFirstPrintable || byte >= kDelete)
                check(text.find(c) != std::string_view::npos);
        }
        bytes += url.size();
    }
    check(bytes <= limits.most_bytes);
    std::size_t last_line = 0;
    for (const auto& refusal : result.refused) {
        check(refusal.line > last_line);
        last_line = refusal.line;
        check(refusal.problem != rg::ExpandProblem::kNone);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    expand_and_check(text, {kFuzzUrls, rg::ExpandLimits::kLongestUrl, kFuzzBytes});
    if (size >= 3) {
        expand_and_check(text.substr(3), {data[0] % kSmallLimit, data[1] % kSmallLimit,
                                          static_cast<std::size_t>(data[2]) * kSmallLimit});
    }
    return 0;
}
