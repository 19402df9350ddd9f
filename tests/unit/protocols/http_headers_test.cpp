#include "protocols/http_headers.h"

#include <gtest/gtest.h>

#include <string>

#include "protocols/connection.h"

namespace rg {
namespace {

TEST(ContentLength, AcceptsDecimalsAndEqualLists) {
    const std::pair<const char*, std::int64_t> good[] = {
        {"0", 0},
        {"123", 123},
        {" 42\t", 42},
        {"10, 10", 10},
        {"2147483647", 2147483647},
        {"5368709120", 5368709120},
        {"4611686018427387904", 4611686018427387904},
        {"0000000000000000000000007", 7}};
    for (const auto& [text, expected] : good) {
        std::int64_t length = -1;
        EXPECT_EQ(parse_content_length(text, &length), HeaderProblem::kNone) << text;
        EXPECT_EQ(length, expected) << text;
    }
}

TEST(ContentLength, RefusesWhatCannotBeASize) {
    const std::pair<const char*, HeaderProblem> bad[] = {
        {"", HeaderProblem::kMalformed},
        {"abc", HeaderProblem::kMalformed},
        {"-1", HeaderProblem::kMalformed},
        {"+1", HeaderProblem::kMalformed},
        {"12a", HeaderProblem::kMalformed},
        {"1 2", HeaderProblem::kMalformed},
        {"10,", HeaderProblem::kMalformed},
        {"4611686018427387905", HeaderProblem::kTooLarge},
        {"99999999999999999999999999", HeaderProblem::kTooLarge},
        {"10, 11", HeaderProblem::kConflict},
        // A malformed part is named as such even next to a large one.
        {"5000000000000000000, x", HeaderProblem::kMalformed},
    };
    for (const auto& [text, problem] : bad) {
        std::int64_t length = -7;
        EXPECT_EQ(parse_content_length(text, &length), problem) << text;
        EXPECT_EQ(length, -7) << text;
    }
}

TEST(ContentRange, ParsesSpansWithKnownAndUnknownTotals) {
    ContentRange r;
    ASSERT_EQ(parse_content_range("bytes 1000-1499/5000", &r), HeaderProblem::kNone);
    EXPECT_EQ(r, (ContentRange{1000, 1499, 5000}));
    ASSERT_EQ(parse_content_range(" BYTES 0-0/*", &r), HeaderProblem::kNone);
    EXPECT_EQ(r, (ContentRange{0, 0, -1}));
    ASSERT_EQ(parse_content_range("bytes 0-2147483646/2147483647", &r), HeaderProblem::kNone);
    EXPECT_EQ(r.end, 2147483646);
}

TEST(ContentRange, RefusesInvalidAndTooLargeRanges) {
    const std::pair<const char*, HeaderProblem> bad[] = {
        {"", HeaderProblem::kMalformed},
        {"bytes */5000", HeaderProblem::kMalformed},
        {"0-9/10", HeaderProblem::kMalformed},
        {"bytes0-9/10", HeaderProblem::kMalformed},
        {"items 0-9/10", HeaderProblem::kMalformed},
        {"bytes 9-0/10", HeaderProblem::kMalformed},
        {"bytes 0-10/10", HeaderProblem::kMalformed},
        {"bytes -1-9/10", HeaderProblem::kMalformed},
        {"bytes 0-9/", HeaderProblem::kMalformed},
        {"bytes 0-9/10/", HeaderProblem::kMalformed},
        {"bytes 0-9", HeaderProblem::kMalformed},
        {"bytes 0-99/4611686018427387905", HeaderProblem::kTooLarge},
        {"bytes 0-4611686018427387904/*", HeaderProblem::kTooLarge},
        {"bytes 0-99999999999999999999/*", HeaderProblem::kTooLarge},
    };
    for (const auto& [text, problem] : bad) {
        ContentRange r{1, 2, 3};
        EXPECT_EQ(parse_content_range(text, &r), problem) << text;
        EXPECT_EQ(r, (ContentRange{1, 2, 3})) << text;
    }
}

TEST(Disposition, SkipsOneCharacterAndDropsTheLast) {
    EXPECT_EQ(disposition_file_name("attachment; filename=\"movie.avi\""), "movie.avi");
    EXPECT_EQ(disposition_file_name("attachment; FileName=movie.avi"), "ovie.av");
    // The rest of the value comes along: the name is not parsed further.
    EXPECT_EQ(disposition_file_name("attachment; filename=\"a.avi\"; size=9"), "a.avi\"; size=");
    EXPECT_EQ(disposition_file_name("filename=\"\""), "");
    EXPECT_EQ(disposition_file_name("filename=x"), std::nullopt);
    EXPECT_EQ(disposition_file_name("attachment; filename="), std::nullopt);
    EXPECT_EQ(disposition_file_name("attachment; filename*=UTF-8''a.avi"), std::nullopt);
}

TEST(FileName, KeepsOnlyAPlainName) {
    EXPECT_EQ(usable_file_name("clip.avi"), "clip.avi");
    EXPECT_EQ(usable_file_name("../../.bashrc"), ".bashrc");
    EXPECT_EQ(usable_file_name("..\\..\\win.ini"), "win.ini");
    EXPECT_EQ(usable_file_name("/etc/passwd"), "passwd");
    EXPECT_EQ(usable_file_name("dir/"), "");
    EXPECT_EQ(usable_file_name(".."), "");
    EXPECT_EQ(usable_file_name("."), "");
    EXPECT_EQ(usable_file_name(""), "");
    EXPECT_EQ(usable_file_name("a\nb.avi"), "");
    EXPECT_EQ(usable_file_name("a\x7f"), "");
    EXPECT_EQ(usable_file_name(std::string("a.avi\0/x", 8)), "a.avi");
}

TEST(RangeTest, FindsTheMarkersInAnyCase) {
    EXPECT_TRUE(advertises_ranges("HTTP/1.1 200 OK\r\naccept-ranges: BYTES\r\n"));
    EXPECT_TRUE(advertises_ranges("Accept-Ranges:bytes"));
    EXPECT_TRUE(advertises_ranges("content-range: bytes 0-1/2"));
    EXPECT_FALSE(advertises_ranges("Accept-Ranges: none"));
    EXPECT_TRUE(advertises_ranges("Accept-Ranges:  bytes"));
    EXPECT_FALSE(advertises_ranges(""));
}

TEST(RangeTest, CountsOnlyTheFieldsThemselves) {
    EXPECT_TRUE(advertises_ranges("HTTP/1.1 200 OK\r\nAccept-Ranges: none, Bytes\r\n"));
    EXPECT_FALSE(advertises_ranges("HTTP/1.1 200 Accept-Ranges: bytes\r\n"));
    EXPECT_FALSE(advertises_ranges("X-Note: Accept-Ranges: bytes\r\nX-Content-Range: 1"));
    EXPECT_FALSE(advertises_ranges("Accept-Ranges: bytesize"));
    EXPECT_FALSE(advertises_ranges("Accept-Ranges: none\nX-Range: Content-Range"));
}

TEST(RangeHeader, FormsTheSpan) {
    EXPECT_EQ(range_header_value(1000, 500), "bytes=1000-1499");
    EXPECT_EQ(range_header_value(1000, 0), "bytes=1000-");
    EXPECT_EQ(range_header_value(0, 1), "bytes=0-0");
    EXPECT_EQ(range_header_value(2147483647, 1), "bytes=2147483647-2147483647");
    EXPECT_EQ(range_header_value(5368709120, 0), "bytes=5368709120-");
    EXPECT_EQ(range_header_value(4611686018427387903, 1),
              "bytes=4611686018427387903-4611686018427387903");
    EXPECT_EQ(range_header_value(4611686018427387904, 1), std::nullopt);
    EXPECT_EQ(range_header_value(1, 9223372036854775807), std::nullopt);
    EXPECT_EQ(range_header_value(-1, 0), std::nullopt);
    EXPECT_EQ(range_header_value(0, -1), std::nullopt);
}

TEST(HeaderValue, RefusesLineBreaksAndControls) {
    EXPECT_TRUE(is_safe_header_value("\"abc\"\tW/x"));
    EXPECT_FALSE(is_safe_header_value("a\r\nInjected: 1"));
    EXPECT_FALSE(is_safe_header_value(std::string("a\0b", 3)));
}

ResponseHead head_of(std::initializer_list<std::string_view> lines) {
    ResponseHead head;
    auto it = lines.begin();
    EXPECT_TRUE(head.start(*it));
    for (++it; it != lines.end(); ++it)
        head.add_line(*it);
    return head;
}

TEST(ResponseHead, ReadsTheStatusLine) {
    ResponseHead h;
    ASSERT_TRUE(h.start("HTTP/1.1 206 Partial Content"));
    EXPECT_EQ(h.status_code(), 206);
    EXPECT_EQ(h.reason(), "Partial Content");
    ASSERT_TRUE(h.start("HTTP/2 200"));
    EXPECT_EQ(h.status_code(), 200);
    EXPECT_EQ(h.reason(), "");
    ASSERT_TRUE(h.start("HTTP/1.0 404 " + std::string(1000, 'r')));
    EXPECT_EQ(h.reason().size(), kReasonTextMax);
    EXPECT_FALSE(h.start("HTTP/1.1 20 OK"));
    EXPECT_FALSE(h.start("HTTP/1.1 2000 OK"));
    EXPECT_FALSE(h.start("ICY 200 OK"));
    EXPECT_FALSE(h.start("HTTP/1.1"));
}

TEST(ResponseHead, RawBlockIsCutAtALineEnd) {
    ResponseHead h;
    ASSERT_TRUE(h.start("HTTP/1.1 200 OK"));
    for (int i = 0; i < 100; ++i)
        h.add_line("X-Line-" + std::to_string(i) + ": " + std::string(30, 'v'));
    EXPECT_LE(h.raw().size(), kRawHeadersMax);
    EXPECT_GT(h.raw().size(), kRawHeadersMax - 50);
    EXPECT_TRUE(h.raw().starts_with("HTTP/1.1 200 OK\r\nX-Line-0: "));
    EXPECT_TRUE(h.raw().ends_with(std::string(30, 'v') + "\r\n"));
    // Once cut, later short lines do not reappear after the gap.
    const std::string before = h.raw();
    h.add_line("A: b");
    EXPECT_EQ(h.raw(), before);

    ResponseHead first_too_long;
    ASSERT_TRUE(first_too_long.start("HTTP/1.1 200 " + std::string(5000, 'x')));
    EXPECT_EQ(first_too_long.raw().size(), kRawHeadersMax);
}

TEST(ResponseHead, FactsOfAPartialAnswer) {
    const ResponseHead h = head_of({"HTTP/1.1 206 Partial Content", "Content-Length: 500",
                                    "content-range: bytes 1000-1499/5000", "ETag: \"e\"",
                                    "Last-Modified: Mon, 01 Jan 2024 00:00:00 GMT"});
    const ResponseHead::Facts f = h.facts(true);
    EXPECT_EQ(f.problem, HeaderProblem::kNone);
    EXPECT_EQ(f.content_length, 500);
    EXPECT_EQ(f.range, (ContentRange{1000, 1499, 5000}));
    EXPECT_EQ(f.validator, "\"e\"");
    EXPECT_TRUE(h.ranges_advertised());

    const ResponseHead dated =
        head_of({"HTTP/1.1 200 OK", "Last-Modified: Mon, 01 Jan 2024 00:00:00 GMT",
                 "Date: Mon, 01 Jan 2024 01:00:00 GMT"});
    EXPECT_EQ(dated.facts(false).validator, "Mon, 01 Jan 2024 00:00:00 GMT");
    EXPECT_EQ(dated.facts(false).content_length, 0);
}

TEST(ResponseHead, OnlyStrongValidatorsCount) {
    const auto validator = [](std::initializer_list<std::string_view> lines) {
        return head_of(lines).facts(false).validator;
    };
    constexpr std::string_view kModified = "Last-Modified: Mon, 01 Jan 2024 00:00:00 GMT";
    EXPECT_EQ(validator({"HTTP/1.1 200 OK", "ETag: W/\"w\""}), "");
    EXPECT_EQ(validator({"HTTP/1.1 200 OK", "ETag: w/\"w\""}), "");
    // A weak tag also rules out the date: the answer has an entity tag, just no usable one.
    EXPECT_EQ(validator({"HTTP/1.1 200 OK", "ETag: W/\"w\"", kModified,
                         "Date: Tue, 02 Jan 2024 00:00:00 GMT"}),
              "");
    EXPECT_EQ(validator({"HTTP/1.1 200 OK", kModified}), "");
    EXPECT_EQ(validator({"HTTP/1.1 200 OK", kModified, "Date: Mon, 01 Jan 2024 00:00:59 GMT"}), "");
    EXPECT_EQ(validator({"HTTP/1.1 200 OK", kModified, "Date: Mon, 01 Jan 2024 00:01:00 GMT"}),
              "Mon, 01 Jan 2024 00:00:00 GMT");
    EXPECT_EQ(validator({"HTTP/1.1 200 OK", "Last-Modified: yesterday",
                         "Date: Mon, 01 Jan 2024 00:01:00 GMT"}),
              "");
    EXPECT_TRUE(is_weak_etag("W/\"x\""));
    EXPECT_FALSE(is_weak_etag("\"W/x\""));
}

TEST(ResponseHead, RangesFromA206OrTheirField) {
    EXPECT_TRUE(head_of({"HTTP/1.1 206 Partial Content"}).ranges_advertised());
    EXPECT_TRUE(head_of({"HTTP/1.1 200 OK", "accept-ranges: BYTES"}).ranges_advertised());
    EXPECT_FALSE(head_of({"HTTP/1.1 200 OK", "Accept-Ranges: none"}).ranges_advertised());
    EXPECT_FALSE(head_of({"HTTP/1.1 200 OK", "Warning: 199 - \"Accept-Ranges: bytes\""})
                     .ranges_advertised());
}

TEST(ResponseHead, RetryAfterCountsFromTheAnswersDate) {
    constexpr std::int64_t kLater = 1704067200 + 3600;  // an hour after 2024-01-01 00:00 GMT
    const ResponseHead dated = head_of({"HTTP/1.1 503 Busy", "Date: Mon, 01 Jan 2024 00:00:00 GMT",
                                        "Retry-After: Mon, 01 Jan 2024 00:00:10 GMT"});
    EXPECT_EQ(dated.retry_after_ms(kLater), 10000);
    const ResponseHead undated =
        head_of({"HTTP/1.1 503 Busy", "Retry-After: Mon, 01 Jan 2024 00:00:10 GMT"});
    EXPECT_EQ(undated.retry_after_ms(kLater), 0);
    EXPECT_EQ(head_of({"HTTP/1.1 503 Busy", "Retry-After: 5", "Retry-After: 9"}).retry_after_ms(0),
              5000);
    EXPECT_EQ(head_of({"HTTP/1.1 503 Busy", "Retry-After: later"}).retry_after_ms(0),
              kNoRetryAfter);
    EXPECT_EQ(head_of({"HTTP/1.1 503 Busy"}).retry_after_ms(0), kNoRetryAfter);
}

TEST(ResponseHead, RefusesPartialAnswersThatDoNotAddUp) {
    const auto problem = [](std::initializer_list<std::string_view> lines) {
        return head_of(lines).facts(true).problem;
    };
    EXPECT_EQ(problem({"HTTP/1.1 206 Partial", "Content-Length: 10"}), HeaderProblem::kMalformed);
    EXPECT_EQ(problem({"HTTP/1.1 206 Partial", "Content-Range: bytes 0-9/10",
                       "Content-Range: bytes 0-8/10"}),
              HeaderProblem::kConflict);
    EXPECT_EQ(problem({"HTTP/1.1 206 Partial", "Content-Range: bytes 0-9/10", "Content-Length: 9"}),
              HeaderProblem::kConflict);
    EXPECT_EQ(problem({"HTTP/1.1 206 Partial", "Content-Range: bytes 0-9/10", "Content-Length: 10",
                       "Content-Length: 11"}),
              HeaderProblem::kConflict);
    EXPECT_EQ(problem({"HTTP/1.1 206 Partial", "Content-Range: bytes 0-9/10", "Content-Length: 10",
                       "Content-Length: 10"}),
              HeaderProblem::kNone);
    // A 200 is not held to a Content-Range it need not carry.
    EXPECT_EQ(head_of({"HTTP/1.1 200 OK", "Content-Range: junk"}).facts(false).problem,
              HeaderProblem::kNone);
    EXPECT_FALSE(
        head_of({"HTTP/1.1 206 Partial", "Content-Length: x"}).facts(true).problem_text.empty());
}

TEST(ResponseHead, NamePrefersContentNameThenDisposition) {
    EXPECT_EQ(head_of({"HTTP/1.1 200 OK", "Content-Disposition: attachment; filename=\"d.avi\"",
                       "Content-name: n.avi"})
                  .facts(false)
                  .file_name,
              "n.avi");
    // An unusable Content-name leaves the disposition to name the file.
    EXPECT_EQ(head_of({"HTTP/1.1 200 OK", "Content-name: ..",
                       "Content-Disposition: attachment; filename=\"d.avi\""})
                  .facts(false)
                  .file_name,
              "d.avi");
    // Values longer than what is kept count as absent, never as a shortened name.
    EXPECT_EQ(head_of({"HTTP/1.1 200 OK", "Content-name: " + std::string(2000, 'n')})
                  .facts(false)
                  .file_name,
              "");
}

TEST(ResponseHead, KeepsTheFirstLocation) {
    const ResponseHead h = head_of({"HTTP/1.1 302 Found", "Location: /first", "Location: /second"});
    EXPECT_EQ(h.location(), "/first");
    EXPECT_FALSE(head_of({"HTTP/1.1 302 Found", "Location: "}).location());
    const ResponseHead long_one =
        head_of({"HTTP/1.1 302 Found", "Location: /" + std::string(kLocationMax, 'l')});
    EXPECT_FALSE(long_one.location());
    EXPECT_TRUE(long_one.location_too_long());
}

}  // namespace
}  // namespace rg
