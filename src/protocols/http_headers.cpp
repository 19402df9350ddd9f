#include "protocols/http_headers.h"

#include <algorithm>
#include <limits>

#include "platform/ascii_text.h"
#include "platform/local_file.h"
#include "protocols/connection.h"
#include "protocols/http_date.h"
#include "protocols/http_status.h"
#include "protocols/retry_after.h"

namespace rg {

namespace {

constexpr std::int64_t kLargestOffset = kMaxFileSize;
constexpr std::int64_t kDecimalBase = 10;
constexpr std::string_view kStatusLinePrefix = "HTTP/";
constexpr std::size_t kStatusCodeDigits = 3;
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBytesUnit = "bytes";
constexpr std::string_view kFileNameKey = "filename=";
constexpr char kUnknownTotal = '*';
constexpr unsigned char kDelete = 0x7f;
constexpr unsigned char kFirstPrintable = 0x20;

constexpr std::string_view kBytesToken = "bytes";
constexpr std::string_view kWeakPrefix = "W/";
// A Last-Modified is a strong validator only this long before the answer's Date.
constexpr std::int64_t kStrongDateAgeS = 60;

bool is_space(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_space(text.back()))
        text.remove_suffix(1);
    return text;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Digits only; values past the largest file offset are refused, so any number of digits is safe.
HeaderProblem parse_offset(std::string_view text, std::int64_t* value) {
    if (text.empty())
        return HeaderProblem::kMalformed;
    std::int64_t v = 0;
    bool too_large = false;
    for (char c : text) {
        if (!is_digit(c))
            return HeaderProblem::kMalformed;
        if (!too_large) {
            const int digit = c - '0';
            too_large = v > (kLargestOffset - digit) / kDecimalBase;
            if (!too_large)
                v = v * kDecimalBase + digit;
        }
    }
    *value = v;
    return too_large ? HeaderProblem::kTooLarge : HeaderProblem::kNone;
}

int severity(HeaderProblem problem) {
    switch (problem) {
        case HeaderProblem::kNone:
            return 0;
        case HeaderProblem::kConflict:
            return 1;
        case HeaderProblem::kTooLarge:
            return 2;
        case HeaderProblem::kMalformed:
            return 3;
    }
    return 0;
}

// The worse of two problems, so a malformed part is never hidden behind a merely large one.
HeaderProblem worse(HeaderProblem a, HeaderProblem b) {
    return severity(a) >= severity(b) ? a : b;
}

std::string problem_text(HeaderProblem problem, std::string_view header) {
    switch (problem) {
        case HeaderProblem::kNone:
            return {};
        case HeaderProblem::kMalformed:
            return "Invalid " + std::string(header) + " in the server's answer";
        case HeaderProblem::kTooLarge:
            return "Files larger than 4 EiB are not supported";
        case HeaderProblem::kConflict:
            return "Conflicting " + std::string(header) + " in the server's answer";
    }
    return {};
}

// An Accept-Ranges value, a comma-separated list of range units, names "bytes".
bool lists_bytes(std::string_view value) {
    while (true) {
        const std::size_t comma = value.find(',');
        if (equal_ignoring_case(trim(value.substr(0, comma)), kBytesToken))
            return true;
        if (comma == std::string_view::npos)
            return false;
        value.remove_prefix(comma + 1);
    }
}

}  // namespace

HeaderProblem parse_content_length(std::string_view value, std::int64_t* length) {
    HeaderProblem problem = HeaderProblem::kNone;
    std::int64_t first = -1;
    bool conflict = false;
    while (true) {
        const std::size_t comma = value.find(',');
        std::int64_t v = 0;
        const HeaderProblem part = parse_offset(trim(value.substr(0, comma)), &v);
        problem = worse(problem, part);
        if (part == HeaderProblem::kNone) {
            if (first >= 0 && v != first)
                conflict = true;
            if (first < 0)
                first = v;
        }
        if (comma == std::string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    if (problem != HeaderProblem::kNone)
        return problem;
    if (conflict)
        return HeaderProblem::kConflict;
    *length = first;
    return HeaderProblem::kNone;
}

HeaderProblem parse_content_range(std::string_view value, ContentRange* range) {
    value = trim(value);
    if (value.size() <= kBytesUnit.size() ||
        !equal_ignoring_case(value.substr(0, kBytesUnit.size()), kBytesUnit) ||
        !is_space(value[kBytesUnit.size()]))
        return HeaderProblem::kMalformed;
    value = trim(value.substr(kBytesUnit.size()));

    const std::size_t dash = value.find('-');
    const std::size_t slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return HeaderProblem::kMalformed;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t total = -1;
    HeaderProblem problem = parse_offset(value.substr(0, dash), &start);
    problem = worse(problem, parse_offset(value.substr(dash + 1, slash - dash - 1), &end));
    const std::string_view total_text = value.substr(slash + 1);
    if (total_text.size() != 1 || total_text[0] != kUnknownTotal)
        problem = worse(problem, parse_offset(total_text, &total));
    if (problem != HeaderProblem::kNone)
        return problem;
    if (start > end || (total >= 0 && end >= total))
        return HeaderProblem::kMalformed;
    // The end is inclusive: one past it must still be a file offset.
    if (end >= kLargestOffset)
        return HeaderProblem::kTooLarge;
    *range = {start, end, total};
    return HeaderProblem::kNone;
}

std::optional<std::string> disposition_file_name(std::string_view value) {
    const std::size_t key = find_ignoring_case(value, kFileNameKey);
    if (key == std::string_view::npos)
        return std::nullopt;
    const std::size_t rest = key + kFileNameKey.size() + 1;
    if (rest >= value.size())
        return std::nullopt;
    std::string_view name = value.substr(rest);
    name.remove_suffix(1);
    return std::string(name);
}

std::string usable_file_name(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    const std::size_t separator = name.find_last_of("/\\");
    if (separator != std::string_view::npos)
        name.remove_prefix(separator + 1);
    if (name.empty() || name == "." || name == "..")
        return {};
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < kFirstPrintable || u == kDelete)
            return {};
    }
    return std::string(name);
}

bool advertises_ranges(std::string_view header_text) {
    while (!header_text.empty()) {
        const std::size_t end = header_text.find('\n');
        std::string_view line = header_text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            const std::string_view name = line.substr(0, colon);
            if (equal_ignoring_case(name, "Content-Range") ||
                (equal_ignoring_case(name, "Accept-Ranges") && lists_bytes(line.substr(colon + 1))))
                return true;
        }
        if (end == std::string_view::npos)
            break;
        header_text.remove_prefix(end + 1);
    }
    return false;
}

bool is_weak_etag(std::string_view etag) {
    return etag.size() >= kWeakPrefix.size() &&
           equal_ignoring_case(etag.substr(0, kWeakPrefix.size()), kWeakPrefix);
}

bool is_safe_header_value(std::string_view value) {
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < kFirstPrintable && c != '\t') || u == kDelete;
    });
}

std::optional<std::string> range_header_value(std::int64_t start, std::int64_t length) {
    if (start < 0 || length < 0 || start > kLargestOffset)
        return std::nullopt;
    std::string value = "bytes=" + std::to_string(start) + "-";
    if (length > 0) {
        if (length > kLargestOffset - start)
            return std::nullopt;
        const std::int64_t end_exclusive = start + length;
        if (end_exclusive > kLargestOffset)
            return std::nullopt;
        value += std::to_string(end_exclusive - 1);
    }
    return value;
}

bool ResponseHead::start(std::string_view status_line) {
    if (status_line.size() < kStatusLinePrefix.size() ||
        !equal_ignoring_case(status_line.substr(0, kStatusLinePrefix.size()), kStatusLinePrefix))
        return false;
    const std::size_t space = status_line.find(' ');
    if (space == std::string_view::npos)
        return false;
    std::string_view rest = status_line.substr(space + 1);
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    if (rest.size() < kStatusCodeDigits ||
        !std::all_of(rest.begin(), rest.begin() + kStatusCodeDigits, is_digit) ||
        (rest.size() > kStatusCodeDigits && is_digit(rest[kStatusCodeDigits])))
        return false;

    *this = ResponseHead();
    status_code_ = (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
    const std::string_view reason = trim(rest.substr(kStatusCodeDigits));
    reason_.assign(reason.substr(0, kReasonTextMax));
    add_line(status_line);
    return true;
}

void ResponseHead::add_line(std::string_view line) {
    if (!raw_full_) {
        if (raw_.size() + line.size() + kCrLf.size() <= kRawHeadersMax) {
            raw_.append(line);
            raw_.append(kCrLf);
        } else {
            if (raw_.empty())
                raw_.assign(line.substr(0, kRawHeadersMax));
            raw_full_ = true;
        }
    }

    accepts_byte_ranges_ = accepts_byte_ranges_ || advertises_ranges(line);

    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = trim(line.substr(colon + 1));
    const auto keep_first = [&](std::optional<std::string>& field, std::size_t max) {
        if (!field && value.size() <= max && is_safe_header_value(value))
            field.emplace(value);
    };
    if (equal_ignoring_case(name, "Content-Length")) {
        note_length(value);
    } else if (equal_ignoring_case(name, "Content-Range")) {
        note_range(value);
    } else if (equal_ignoring_case(name, "Content-name")) {
        keep_first(content_name_, kHeaderValueMax);
    } else if (equal_ignoring_case(name, "Content-Disposition")) {
        keep_first(disposition_, kHeaderValueMax);
    } else if (equal_ignoring_case(name, "ETag")) {
        etag_seen_ = true;
        keep_first(etag_, kValidatorMax);
    } else if (equal_ignoring_case(name, "Last-Modified")) {
        keep_first(last_modified_, kValidatorMax);
    } else if (equal_ignoring_case(name, "Date")) {
        keep_first(date_, kValidatorMax);
    } else if (equal_ignoring_case(name, "Retry-After")) {
        keep_first(retry_after_, kValidatorMax);
    } else if (equal_ignoring_case(name, "Location") && !location_seen_) {
        location_seen_ = true;
        if (value.size() > kLocationMax)
            location_too_long_ = true;
        else if (!value.empty())
            location_.emplace(value);
    }
}

bool ResponseHead::ranges_advertised() const {
    return status_code_ == kHttpPartialContent || accepts_byte_ranges_;
}

std::int32_t ResponseHead::retry_after_ms(std::int64_t now_s) const {
    if (!retry_after_)
        return kNoRetryAfter;
    const std::optional<std::int64_t> date = date_ ? parse_http_date(*date_) : std::nullopt;
    return parse_retry_after(*retry_after_, date.value_or(now_s)).value_or(kNoRetryAfter);
}

std::string ResponseHead::strong_validator() const {
    if (etag_seen_)
        return etag_ && !is_weak_etag(*etag_) ? *etag_ : std::string();
    if (!last_modified_ || !date_)
        return {};
    const std::optional<std::int64_t> modified = parse_http_date(*last_modified_);
    const std::optional<std::int64_t> date = parse_http_date(*date_);
    if (!modified || !date || *date - *modified < kStrongDateAgeS)
        return {};
    return *last_modified_;
}

void ResponseHead::note_length(std::string_view value) {
    std::int64_t length = 0;
    const HeaderProblem problem = parse_content_length(value, &length);
    if (problem != HeaderProblem::kNone) {
        length_state_.problem = worse(length_state_.problem, problem);
    } else if (length_state_.present && length != length_) {
        length_state_.problem = worse(length_state_.problem, HeaderProblem::kConflict);
    } else {
        length_ = length;
    }
    length_state_.present = true;
}

void ResponseHead::note_range(std::string_view value) {
    ContentRange range;
    const HeaderProblem problem = parse_content_range(value, &range);
    if (problem != HeaderProblem::kNone) {
        range_state_.problem = worse(range_state_.problem, problem);
    } else if (range_state_.present && !(range == range_)) {
        range_state_.problem = worse(range_state_.problem, HeaderProblem::kConflict);
    } else {
        range_ = range;
    }
    range_state_.present = true;
}

ResponseHead::Facts ResponseHead::facts(bool partial) const {
    Facts f;
    if (length_state_.problem != HeaderProblem::kNone) {
        f.problem = length_state_.problem;
        f.problem_text = problem_text(f.problem, "Content-Length");
        return f;
    }
    if (length_state_.present)
        f.content_length = length_;
    if (partial) {
        if (!range_state_.present || range_state_.problem != HeaderProblem::kNone) {
            f.problem = range_state_.present ? range_state_.problem : HeaderProblem::kMalformed;
            f.problem_text = problem_text(f.problem, "Content-Range");
            return f;
        }
        // The body is framed by Content-Length; one that disagrees with the range would put
        // bytes at the wrong offsets.
        if (length_state_.present && length_ != range_.end - range_.start + 1) {
            f.problem = HeaderProblem::kConflict;
            f.problem_text = "Content-Length does not match Content-Range";
            return f;
        }
        f.range = range_;
    }
    f.validator = strong_validator();

    if (content_name_)
        f.file_name = usable_file_name(*content_name_);
    if (f.file_name.empty() && disposition_) {
        if (const auto name = disposition_file_name(*disposition_))
            f.file_name = usable_file_name(*name);
    }
    return f;
}

}  // namespace rg
