// Feeds arbitrary bytes as a response head (lines split at LF) and as single header values, and
// checks what the client relies on: every kept text bounded, lengths and ranges within the
// 32-bit offsets, offered names plain, redirect targets resolvable and requestable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocols/connection.h"
#include "platform/local_file.h"
#include "protocols/http_headers.h"
#include "protocols/http_url.h"

namespace {

constexpr std::string_view kBase = "http://h.example:81/a/b.avi?x=1";
constexpr std::int64_t kLargest = rg::kMaxFileSize;

void check(bool condition) {
    if (!condition)
        std::abort();
}

void check_name(const std::string& name) {
    if (name.empty())
        return;
    check(name.size() <= rg::kHeaderValueMax);
    check(name != "." && name != "..");
    check(name.find_first_of("/\\") == std::string::npos);
    check(rg::is_safe_header_value(name) && name.find('\t') == std::string::npos);
}

void check_location(std::string_view location) {
    const auto resolved = rg::resolve_location(kBase, location);
    if (!resolved)
        return;
    check(resolved->size() <= rg::kLocationMax);
    check(rg::is_safe_header_value(*resolved));
    const std::string scheme = rg::url_scheme(*resolved);
    check(!scheme.empty());
    if (scheme == "http" || scheme == "https") {
        rg::RequestTarget target;
        const rg::UrlProblem problem = rg::make_request_target(*resolved, &target);
        // A resolved address is requestable unless its host is longer than the client keeps.
        check(problem == rg::UrlProblem::kNone || problem == rg::UrlProblem::kTooLong);
        if (problem == rg::UrlProblem::kNone)
            check(target.url.size() <= rg::kLocationMax && !target.host.empty());
    }
}

void check_value(std::string_view value) {
    std::int64_t length = -1;
    if (rg::parse_content_length(value, &length) == rg::HeaderProblem::kNone)
        check(length >= 0);
    rg::ContentRange range;
    if (rg::parse_content_range(value, &range) == rg::HeaderProblem::kNone) {
        check(range.start >= 0 && range.start <= range.end && range.end < kLargest);
        check(range.total == -1 || range.end < range.total);
    }
    if (const auto name = rg::disposition_file_name(value))
        check(name->size() < value.size());
    check_name(rg::usable_file_name(value));
}

void check_facts(const rg::ResponseHead& head, bool partial) {
    const rg::ResponseHead::Facts f = head.facts(partial);
    if (f.problem != rg::HeaderProblem::kNone) {
        check(!f.problem_text.empty());
        return;
    }
    check(f.content_length >= 0);
    if (partial) {
        check(f.range.start >= 0 && f.range.start <= f.range.end && f.range.end < kLargest);
        check(f.range.total == -1 || f.range.end < f.range.total);
        check(f.content_length == 0 ||
              std::int64_t{f.content_length} == std::int64_t{f.range.end} - f.range.start + 1);
    }
    check(f.validator.size() <= rg::kValidatorMax && rg::is_safe_header_value(f.validator));
    check_name(f.file_name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    rg::ResponseHead head;
    bool started = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!started) {
            started = head.start(line);
            if (!started)
                started = head.start("HTTP/1.1 206 Partial Content");
            else
                continue;
        }
        head.add_line(line);
        const std::size_t colon = line.find(':');
        check_value(colon == std::string_view::npos ? line : line.substr(colon + 1));
    }
    check(head.raw().size() <= rg::kRawHeadersMax);
    check(head.reason().size() <= rg::kReasonTextMax);
    check(head.status_code() >= 0 && head.status_code() <= 999);
    check_facts(head, true);
    check_facts(head, false);
    if (head.location())
        check_location(*head.location());
    check_location(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
