#include "intake/url_canonical.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rg {
namespace {

std::string accepted(std::string_view text) {
    const CheckedUrl checked = check_new_url(text);
    EXPECT_EQ(checked.status, AddStatus::kAdded) << text;
    return checked.url;
}

AddStatus refusal(std::string_view text) {
    return check_new_url(text).status;
}

TEST(CheckNewUrl, CanonicalFormOfHttp) {
    // No scheme: HTTP, including a host with a port.
    EXPECT_EQ(accepted("www.example.com/file.zip"), "http://www.example.com/file.zip");
    EXPECT_EQ(accepted("localhost:8080/a.bin"), "http://localhost:8080/a.bin");
    EXPECT_EQ(accepted("HTTP://Host.example/x"), "http://Host.example/x");
    // No path: "/"; dot segments resolved.
    EXPECT_EQ(accepted("http://host"), "http://host/");
    EXPECT_EQ(accepted("http://host/a/../b/./c.zip"), "http://host/b/c.zip");
    // Unsafe characters are encoded everywhere after the host; nothing is decoded.
    EXPECT_EQ(accepted("http://host/my file.zip?q=a b#x y"),
              "http://host/my%20file.zip?q=a%20b#x%20y");
    EXPECT_EQ(accepted("http://host/%41%zz/\xC3\xA4\"<>{}"),
              "http://host/%41%zz/%C3%A4%22%3C%3E%7B%7D");
    // Surrounding white space, as a paste brings it, is not part of the URL.
    EXPECT_EQ(accepted("  http://host/a.zip\r\n"), "http://host/a.zip");
    EXPECT_EQ(check_new_url("https://host/a").protocol, Protocol::Http);
}

TEST(CheckNewUrl, FtpIsTakenUnchanged) {
    const CheckedUrl ftp = check_new_url("FTP://host/my file.zip");
    EXPECT_EQ(ftp.status, AddStatus::kAdded);
    EXPECT_EQ(ftp.url, "FTP://host/my file.zip");
    EXPECT_EQ(ftp.protocol, Protocol::Ftp);
    EXPECT_EQ(accepted("ftp://host"), "ftp://host/");
}

TEST(CheckNewUrl, RefusesOtherSchemes) {
    for (const char* url : {"gopher://h/x", "mailto:a@b.org", "file:///etc/passwd", "ftps://h/x"})
        EXPECT_EQ(refusal(url), AddStatus::kInvalidProtocol) << url;
}

TEST(CheckNewUrl, RefusesHostsTheClientsWouldReadDifferently) {
    for (const std::string& url :
         std::vector<std::string>{"http://user:pw@host/f", "ftp://user@host/f", "http://[::1]/x",
                                  "http://my_host/x", "ftp://host:99999/x", "ftp://host:2x/x",
                                  "ftp:///x", "http://" + std::string(199, 'h') + "/x"})
        EXPECT_EQ(refusal(url), AddStatus::kInvalidHost) << url;
    EXPECT_EQ(accepted("http://" + std::string(198, 'h') + "/x"),
              "http://" + std::string(198, 'h') + "/x");
}

TEST(CheckNewUrl, RefusesWhatHasNoCanonicalForm) {
    using namespace std::string_literals;
    for (const std::string& url : std::vector<std::string>{
             ""s, "   "s, "http://h/a\tb"s, "http://h/a\0b"s, "ftp://h/a\x7f"s, "http:host/x"s,
             "http://ho st/x"s, "http://host:70000/x"s, "http://h/" + std::string(3600, 'a'),
             "ftp://h/" + std::string(4090, 'a')})
        EXPECT_EQ(refusal(url), AddStatus::kEncodingFailed) << url.substr(0, 40);
    // Encoding that makes the URL longer than the canonical buffer counts too.
    EXPECT_EQ(refusal("http://h/" + std::string(1300, ' ') + "x"), AddStatus::kEncodingFailed);
}

TEST(CheckNewUrl, CanonicalFormIsStable) {
    for (const char* url :
         {"host.example/a b?c d#e f", "http://h/%2e%2e/x", "ftp://h/a b", "http://h:8080/\xFF"}) {
        const std::string once = accepted(url);
        EXPECT_EQ(accepted(once), once) << url;
    }
}

}  // namespace
}  // namespace rg
