#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

// Values of the headers the client reads are kept up to this length; a longer one counts as
// absent (a file name) or unusable (a validator, a redirect target), never as a shortened value.
inline constexpr std::size_t kHeaderValueMax = 1023;
inline constexpr std::size_t kLocationMax = 4095;  // what the download's URL field holds
inline constexpr std::size_t kValidatorMax = 255;

enum class HeaderProblem {
    kNone,
    kMalformed,  // not a number, negative, or not of the expected form
    kTooLarge,   // past the largest file offset a download may have (kMaxFileSize)
    kConflict,   // two headers, or two parts of one, that disagree
};

// Parsed "Content-Range: bytes A-B/T" of a partial answer; -1 = absent, total -1 also for "*".
struct ContentRange {
    std::int64_t start = -1;
    std::int64_t end = -1;  // inclusive
    std::int64_t total = -1;

    bool operator==(const ContentRange&) const = default;
};

// A Content-Length value: decimal digits, optionally a comma-separated list of equal values
// (what some proxies send when they merge duplicate headers).
HeaderProblem parse_content_length(std::string_view value, std::int64_t* length);

// A Content-Range value of a 206 answer: "bytes A-B/T" or "bytes A-B/*", A <= B < T <=
// kMaxFileSize.
HeaderProblem parse_content_range(std::string_view value, ContentRange* range);

// The name after "filename=" in a Content-Disposition value, searched without regard to case:
// one character after "filename=" (the opening quote) is skipped and the last character of the
// value (the closing quote) dropped, so an unquoted name loses its first and last character.
// Nullopt when nothing follows the skipped character.
std::optional<std::string> disposition_file_name(std::string_view value);

// The part of a server-supplied name that may name a local file: the text after the last '/' or
// '\', refused ("" returned) when it is empty, "." or "..", or holds a control character, so a
// server cannot steer the rename into another folder.
std::string usable_file_name(std::string_view name);

// The range test over a block of header lines (CR LF or LF separated): an Accept-Ranges field
// that lists "bytes", or a Content-Range field. Text elsewhere (another field's value, a reason
// phrase) does not count.
bool advertises_ranges(std::string_view header_text);

// A weak entity tag (W/"..."), which HTTP does not allow as a range validator.
bool is_weak_etag(std::string_view etag);

// Free of CR, LF, NUL and other control characters (tab allowed), so it can go into a request
// header line as it is.
bool is_safe_header_value(std::string_view value);

// "bytes=S-" or, for a length above 0, "bytes=S-E" with E = S + length - 1; nullopt when the
// start is negative, the length negative or the end past kMaxFileSize.
std::optional<std::string> range_header_value(std::int64_t start, std::int64_t length);

// One response head collected line by line as libcurl hands the lines over. Every copy is
// bounded, whatever the server sends.
class ResponseHead {
  public:
    // A status line ("HTTP/1.1 206 Partial Content") starts a new head. False when it is not one.
    bool start(std::string_view status_line);
    // A header line without its CR LF.
    void add_line(std::string_view line);

    int status_code() const { return status_code_; }
    const std::string& reason() const { return reason_; }
    // The status line and the header lines, each ended by CR LF; cut after the last whole line
    // that fits (a first line longer than the limit is cut at the limit).
    const std::string& raw() const { return raw_; }
    // Byte ranges are served: the answer is a 206, or one of its lines passes the range test.
    bool ranges_advertised() const;
    // The first Location value; nullopt when absent or empty, and when too long to follow.
    const std::optional<std::string>& location() const { return location_; }
    bool location_too_long() const { return location_too_long_; }

    // The wait a Retry-After field asks for (see parse_retry_after), measured from the answer's
    // Date when it has a usable one, else from `now_s`; kNoRetryAfter when absent or unusable.
    std::int32_t retry_after_ms(std::int64_t now_s) const;

    // What a 2xx answer tells about its body. `problem` describes why it must be refused.
    struct Facts {
        HeaderProblem problem = HeaderProblem::kNone;
        std::string problem_text;         // readable reason when refused
        std::int64_t content_length = 0;  // 0 = not announced
        ContentRange range;
        // A strong validator that may go into If-Range: a strong ETag; without any ETag, a
        // Last-Modified at least a minute older than the answer's Date. Empty = none (a weak
        // ETag is none).
        std::string validator;
        std::string file_name;  // usable name offered by the server; empty = none
    };
    // `partial`: the answer is a 206, which must carry a valid Content-Range.
    Facts facts(bool partial) const;

  private:
    struct Parsed {
        bool present = false;
        HeaderProblem problem = HeaderProblem::kNone;
    };
    void note_length(std::string_view value);
    void note_range(std::string_view value);
    std::string strong_validator() const;

    int status_code_ = 0;
    std::string reason_;
    std::string raw_;
    bool raw_full_ = false;
    bool accepts_byte_ranges_ = false;

    Parsed length_state_;
    std::int64_t length_ = 0;
    Parsed range_state_;
    ContentRange range_;
    std::optional<std::string> content_name_;
    std::optional<std::string> disposition_;
    std::optional<std::string> etag_;
    bool etag_seen_ = false;
    std::optional<std::string> last_modified_;
    std::optional<std::string> date_;
    std::optional<std::string> retry_after_;
    std::optional<std::string> location_;
    bool location_seen_ = false;
    bool location_too_long_ = false;
};

}  // namespace rg
