#include "protocols/http_url.h"

#include <gtest/gtest.h>

#include <string>

namespace rg {
namespace {

RequestTarget target_of(std::string_view url) {
    RequestTarget t;
    EXPECT_EQ(make_request_target(url, &t), UrlProblem::kNone) << url;
    return t;
}

TEST(RequestTarget, TakesTheUrlApartAsTheClientsDo) {
    const RequestTarget plain = target_of("http://Example.COM");
    EXPECT_EQ(plain.url, "http://example.com/");
    EXPECT_EQ(plain.host, "example.com");
    EXPECT_EQ(plain.port, 80);
    EXPECT_FALSE(plain.secure);
    EXPECT_EQ(plain.path, "/");

    const RequestTarget secure = target_of("HTTPS://h.example:8443/Dir/File.avi?q=1#frag");
    EXPECT_EQ(secure.url, "https://h.example:8443/Dir/File.avi?q=1");
    EXPECT_EQ(secure.port, 8443);
    EXPECT_TRUE(secure.secure);
    EXPECT_EQ(secure.path, "/Dir/File.avi");

    EXPECT_EQ(target_of("https://h/x").port, 443);
    EXPECT_EQ(target_of("h.example/x").url, "http://h.example/x");
    // Port 0 stands for the default.
    EXPECT_EQ(target_of("http://h:0/x").url, "http://h/x");
    EXPECT_EQ(target_of("http://h?q").url, "http://h/?q");
    EXPECT_EQ(target_of("http://h/a b").url, "http://h/a%20b");
}

TEST(RequestTarget, KeepsLongPathsWhole) {
    const std::string path = "/" + std::string(1500, 'p');
    EXPECT_EQ(target_of("http://h" + path).url, "http://h" + path);
}

TEST(RequestTarget, RefusesWhatItCannotRequest) {
    RequestTarget t;
    EXPECT_EQ(make_request_target("ftp://h/x", &t), UrlProblem::kFtp);
    EXPECT_EQ(make_request_target("gopher://h/x", &t), UrlProblem::kUnsupportedScheme);
    // Without "//", the text before the first ':' is the scheme.
    EXPECT_EQ(make_request_target("h:8080/x", &t), UrlProblem::kUnsupportedScheme);
    EXPECT_EQ(make_request_target("http:///x", &t), UrlProblem::kInvalid);
    EXPECT_EQ(make_request_target("http://h:70000/x", &t), UrlProblem::kInvalid);
    EXPECT_EQ(make_request_target("http://h:-1/x", &t), UrlProblem::kInvalid);
    EXPECT_EQ(make_request_target("http://h/\x01", &t), UrlProblem::kInvalid);
    EXPECT_EQ(make_request_target("http://" + std::string(250, 'h') + "/x", &t),
              UrlProblem::kTooLong);
    EXPECT_EQ(make_request_target("http://h/" + std::string(5000, 'p'), &t), UrlProblem::kTooLong);
}

TEST(Location, ResolvesAgainstTheAnsweringUrl) {
    const std::string base = "http://h.example:81/a/b.avi?x=1";
    EXPECT_EQ(resolve_location(base, "c.avi"), "http://h.example:81/a/c.avi");
    EXPECT_EQ(resolve_location(base, "../up.avi"), "http://h.example:81/up.avi");
    EXPECT_EQ(resolve_location(base, "/root.avi?y=2"), "http://h.example:81/root.avi?y=2");
    EXPECT_EQ(resolve_location(base, "?only"), "http://h.example:81/a/b.avi?only");
    EXPECT_EQ(resolve_location(base, "//other.example/x"), "http://other.example/x");
    EXPECT_EQ(resolve_location(base, "https://other.example/x"), "https://other.example/x");
    EXPECT_EQ(resolve_location(base, "ftp://f.example/x"), "ftp://f.example/x");
    EXPECT_EQ(resolve_location(base, "/with space"), "http://h.example:81/with%20space");
}

TEST(Location, RefusesTargetsThatWouldGoElsewhere) {
    const std::string base = "http://h.example/a";
    EXPECT_EQ(resolve_location(base, ""), std::nullopt);
    EXPECT_EQ(resolve_location(base, "http://user:pw@h.example/x"), std::nullopt);
    EXPECT_EQ(resolve_location(base, "http://my_host/x"), std::nullopt);
    EXPECT_EQ(resolve_location(base, "http://h\xc3\xa9.example/x"), std::nullopt);
    EXPECT_EQ(resolve_location(base, "http://[::1]/x"), std::nullopt);
    EXPECT_EQ(resolve_location(base, "/a\r\nSet-Cookie: x"), std::nullopt);
    EXPECT_EQ(resolve_location(base, "/" + std::string(5000, 'l')), std::nullopt);
}

TEST(Location, SchemeOfAnAbsoluteUrl) {
    EXPECT_EQ(url_scheme("HTTPS://h/"), "https");
    EXPECT_EQ(url_scheme("ftp://h/"), "ftp");
    EXPECT_EQ(url_scheme("/path:x"), "");
    EXPECT_EQ(url_scheme(":x"), "");
}

TEST(Credentials, FollowOnlyTheirOwnServer) {
    const RequestTarget given = target_of("http://h.example/x");
    EXPECT_TRUE(credentials_may_follow(given, target_of("http://H.EXAMPLE/y")));
    EXPECT_TRUE(credentials_may_follow(given, target_of("https://h.example/y")));
    EXPECT_FALSE(credentials_may_follow(given, target_of("http://other.example/y")));
    EXPECT_FALSE(credentials_may_follow(given, target_of("http://h.example:8080/y")));
    EXPECT_FALSE(credentials_may_follow(given, target_of("https://h.example:8443/y")));
    const RequestTarget secure = target_of("https://h.example/x");
    EXPECT_FALSE(credentials_may_follow(secure, target_of("http://h.example/y")));
    EXPECT_TRUE(credentials_may_follow(secure, target_of("https://h.example/z")));
}

}  // namespace
}  // namespace rg
