#include <gtest/gtest.h>

#include "protocols/connection.h"
#include "protocols/http_date.h"
#include "protocols/retry_after.h"

namespace rg {
namespace {

constexpr std::int64_t kNov6th1994 = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT

TEST(HttpDate, ReadsTheThreeFormsAlike) {
    EXPECT_EQ(parse_http_date("Sun, 06 Nov 1994 08:49:37 GMT"), kNov6th1994);
    EXPECT_EQ(parse_http_date("Sunday, 06-Nov-94 08:49:37 GMT"), kNov6th1994);
    EXPECT_EQ(parse_http_date("Sun Nov  6 08:49:37 1994"), kNov6th1994);
    EXPECT_EQ(parse_http_date("Thu, 01 Jan 1970 00:00:00 GMT"), 0);
    EXPECT_EQ(parse_http_date("Thursday, 01-Jan-70 00:00:00 GMT"), 0);
    EXPECT_EQ(parse_http_date("Tue, 29 Feb 2000 23:59:59 GMT"), 951868799);
    EXPECT_EQ(parse_http_date("Fri, 31 Dec 9999 23:59:59 GMT"), 253402300799);
    EXPECT_EQ(parse_http_date("Fri, 31 Dec 9999 23:59:60 GMT"), 253402300799);
}

TEST(HttpDate, RefusesWhatIsNoDate) {
    for (const char* text :
         {"", "Sun", "Sun, 06 Nov 1994 08:49:37", "Sun, 06 Nov 1994 08:49:37 UTC",
          "Sun, 6 Nov 1994 08:49:37 GMT", "Sun, 06 Foo 1994 08:49:37 GMT",
          "Sun, 31 Nov 1994 08:49:37 GMT", "Mon, 29 Feb 1900 00:00:00 GMT",
          "Sun, 06 Nov 1994 24:00:00 GMT", "Sun, 06 Nov 1994 08:49:61 GMT",
          "Sun, 06 Nov 1969 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37 GMT x",
          "Sun Nov  6 08:49:37 94", "1994-11-06T08:49:37Z"}) {
        EXPECT_EQ(parse_http_date(text), std::nullopt) << text;
    }
}

TEST(RetryAfter, SecondsAndDatesAreBounded) {
    EXPECT_EQ(parse_retry_after("0", kNov6th1994), 0);
    EXPECT_EQ(parse_retry_after(" 120 ", kNov6th1994), 120000);
    EXPECT_EQ(parse_retry_after("300", kNov6th1994), kRetryAfterMaxMs);
    EXPECT_EQ(parse_retry_after("301", kNov6th1994), kRetryAfterMaxMs);
    EXPECT_EQ(parse_retry_after(std::string(400, '9'), kNov6th1994), kRetryAfterMaxMs);
    EXPECT_EQ(parse_retry_after("Sun, 06 Nov 1994 08:50:37 GMT", kNov6th1994), 60000);
    EXPECT_EQ(parse_retry_after("Sun, 06 Nov 1994 08:49:00 GMT", kNov6th1994), 0);
    EXPECT_EQ(parse_retry_after("Mon, 07 Nov 1994 08:49:37 GMT", kNov6th1994), kRetryAfterMaxMs);
    for (const char* text : {"", " ", "-1", "1.5", "10s", "soon", "0x10"})
        EXPECT_EQ(parse_retry_after(text, kNov6th1994), std::nullopt) << text;
}

}  // namespace
}  // namespace rg
