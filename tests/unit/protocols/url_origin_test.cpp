#include <gtest/gtest.h>

#include "protocols/url_origin.h"

namespace rg {
namespace {

TEST(UrlOrigin, DefaultsPortsAndLowersHosts) {
    EXPECT_EQ(url_origin("http://Example.COM/x"), (UrlOrigin{"http", "example.com", 80}));
    EXPECT_EQ(url_origin("HTTPS://example.com:0/x"), (UrlOrigin{"https", "example.com", 443}));
    EXPECT_EQ(url_origin("example.com/x"), (UrlOrigin{"http", "example.com", 80}));
    EXPECT_EQ(url_origin("ftp://example.com/x"), (UrlOrigin{"ftp", "example.com", 21}));
    EXPECT_EQ(url_origin("ftp://example.com:2121/x"), (UrlOrigin{"ftp", "example.com", 2121}));
    EXPECT_EQ(url_origin("gopher://example.com/x"), std::nullopt);
    EXPECT_EQ(url_origin("http:///x"), std::nullopt);
    EXPECT_EQ(url_origin("http://example.com:70000/x"), std::nullopt);
}

TEST(UrlOrigin, CredentialsMoveOnlyWithinTheirOrigin) {
    EXPECT_TRUE(credentials_may_move("http://a.com/x", "http://A.com:80/y?z"));
    EXPECT_TRUE(credentials_may_move("http://a.com/x", "https://a.com/x"));
    EXPECT_TRUE(credentials_may_move("https://a.com/x", "https://a.com:443/y"));
    EXPECT_TRUE(credentials_may_move("ftp://a.com/x", "ftp://a.com:21/y"));

    EXPECT_FALSE(credentials_may_move("http://a.com/x", "http://b.com/x"));
    EXPECT_FALSE(credentials_may_move("http://a.com/x", "http://a.com.b.com/x"));
    EXPECT_FALSE(credentials_may_move("http://a.com/x", "http://a.com:8080/x"));
    EXPECT_FALSE(credentials_may_move("http://a.com:8080/x", "https://a.com/x"));
    EXPECT_FALSE(credentials_may_move("http://a.com/x", "https://a.com:8443/x"));
    EXPECT_FALSE(credentials_may_move("https://a.com/x", "http://a.com/x"));
    EXPECT_FALSE(credentials_may_move("http://a.com/x", "ftp://a.com/x"));
    EXPECT_FALSE(credentials_may_move("http://a.com/x", "mailto:a.com"));
    EXPECT_FALSE(credentials_may_move("", "http://a.com/x"));
}

}  // namespace
}  // namespace rg
