#include "protocols/cookie_file.h"

#include <gtest/gtest.h>

#include <string>

namespace rg {
namespace {

constexpr std::int64_t kNow = 1700000000;

std::string header_for(std::string_view file, std::string_view host, std::string_view path,
                       bool secure = false) {
    return cookie_header_value(parse_cookie_file(file), host, path, secure, kNow);
}

TEST(CookieFile, ReadsTheNetscapeFormat) {
    const auto cookies = parse_cookie_file(
        "# Netscape HTTP Cookie File\r\n"
        "\n"
        ".Example.com\tTRUE\t/\tFALSE\t0\tsid\tabc\r\n"
        "#HttpOnly_h.example\tFALSE\t/p\tTRUE\t1800000000\ttok\tv=1\n"
        "h.example\tFALSE\t/\tFALSE\t0\tempty\n");
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_EQ(cookies[0].domain, "example.com");
    EXPECT_TRUE(cookies[0].include_subdomains);
    EXPECT_EQ(cookies[0].value, "abc");
    EXPECT_EQ(cookies[1].domain, "h.example");
    EXPECT_FALSE(cookies[1].include_subdomains);
    EXPECT_TRUE(cookies[1].secure);
    EXPECT_EQ(cookies[1].expires, 1800000000);
    EXPECT_EQ(cookies[1].value, "v=1");
    EXPECT_EQ(cookies[2].value, "");
}

TEST(CookieFile, SkipsLinesThatCouldNotBeSent) {
    const auto cookies = parse_cookie_file(
        "h\tFALSE\t/\tFALSE\t0\tname\n"         // fine: six fields
        "h\tFALSE\t/\tFALSE\t0\tn\tv\textra\n"  // too many fields
        "h\tFALSE\t/\tFALSE\tsoon\tn\tv\n"      // expiry not a number
        "h\tFALSE\t/\tFALSE\t0\t\tv\n"          // no name
        "h\tFALSE\t/\tFALSE\t0\tn;x\tv\n"       // separator in the name
        "h\tFALSE\t/\tFALSE\t0\tn\tv;Injected=1\n"
        "h\tFALSE\t/\tFALSE\t0\tn\tv\x01\n"
        "\tFALSE\t/\tFALSE\t0\tn\tv\n"  // no domain
        "just text\n");
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].name, "name");
}

TEST(CookieHeader, MatchesDomainPathSecureAndExpiry) {
    const std::string file =
        "example.com\tTRUE\t/\tFALSE\t0\twide\t1\n"
        "example.com\tFALSE\t/\tFALSE\t0\thostonly\t2\n"
        "example.com\tFALSE\t/gen\tFALSE\t0\tdeep\t3\n"
        "example.com\tFALSE\t/\tTRUE\t0\tsecure\t4\n"
        "example.com\tFALSE\t/\tFALSE\t1600000000\texpired\t5\n"
        "example.com\tFALSE\t/\tFALSE\t1800000000\tlater\t6\n";
    EXPECT_EQ(header_for(file, "EXAMPLE.COM", "/"), "wide=1; hostonly=2; later=6");
    EXPECT_EQ(header_for(file, "example.com", "/gen/x"), "deep=3; wide=1; hostonly=2; later=6");
    EXPECT_EQ(header_for(file, "example.com", "/gen"), "deep=3; wide=1; hostonly=2; later=6");
    EXPECT_EQ(header_for(file, "example.com", "/generic"), "wide=1; hostonly=2; later=6");
    EXPECT_EQ(header_for(file, "example.com", "/", true), "wide=1; hostonly=2; secure=4; later=6");
    EXPECT_EQ(header_for(file, "www.example.com", "/"), "wide=1");
    EXPECT_EQ(header_for(file, "notexample.com", "/"), "");
    EXPECT_EQ(header_for(file, "example.com.evil", "/"), "");
    EXPECT_EQ(header_for(file, "com", "/"), "");
}

TEST(CookieHeader, StaysWithinItsBound) {
    std::string file;
    for (int i = 0; i < 100; ++i)
        file +=
            "h\tFALSE\t/\tFALSE\t0\tc" + std::to_string(i) + "\t" + std::string(200, 'v') + "\n";
    const std::string header = header_for(file, "h", "/");
    EXPECT_LE(header.size(), kCookieHeaderMax);
    EXPECT_TRUE(header.starts_with("c0="));
    EXPECT_FALSE(header.ends_with("; "));
}

}  // namespace
}  // namespace rg
