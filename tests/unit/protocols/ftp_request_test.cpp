#include "protocols/ftp_request.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

#include "protocols/base64.h"

namespace rg {
namespace {

using namespace std::string_literals;

Credentials encoded(std::string_view user, std::string_view password) {
    return {base64_encode_text(user, 1024).value(), base64_encode_text(password, 1024).value()};
}

TEST(FtpRequest, SplitsTheUrlAndLogsInAnonymouslyWithoutCredentials) {
    FtpRequest r;
    ASSERT_EQ(plan_ftp_request("ftp://files.example.org/pub/Big File.zip?x#y", nullptr, &r),
              FtpRequestProblem::kNone);
    EXPECT_EQ(r.host, "FILES.EXAMPLE.ORG");
    EXPECT_EQ(r.port, 21);
    // The path goes to SIZE and RETR exactly as it stands in the URL.
    EXPECT_EQ(r.path, "/pub/Big File.zip?x#y");
    EXPECT_EQ(r.user_name, "anonymous");
    EXPECT_EQ(r.password, kFtpAnonymousPassword);
    EXPECT_NE(r.password.find('@'), std::string::npos);

    ASSERT_EQ(plan_ftp_request("ftp://h:2121/f", nullptr, &r), FtpRequestProblem::kNone);
    EXPECT_EQ(r.port, 2121);
}

TEST(FtpRequest, DecodesStoredCredentials) {
    FtpRequest r;
    const Credentials c = encoded("joe", "s3cret");
    ASSERT_EQ(plan_ftp_request("ftp://h/f", &c, &r), FtpRequestProblem::kNone);
    EXPECT_EQ(r.user_name, "joe");
    EXPECT_EQ(r.password, "s3cret");

    const Credentials empty{"", ""};
    ASSERT_EQ(plan_ftp_request("ftp://h/f", &empty, &r), FtpRequestProblem::kNone);
    EXPECT_EQ(r.user_name, "");
    EXPECT_EQ(r.password, "");
}

TEST(FtpRequest, RefusesWhatCannotBeSentSafely) {
    EXPECT_EQ(plan_ftp_request("ftp://host", nullptr, nullptr), FtpRequestProblem::kNoPath);
    EXPECT_EQ(plan_ftp_request("ftp:///f", nullptr, nullptr), FtpRequestProblem::kInvalid);
    EXPECT_EQ(plan_ftp_request("ftp://h:0/f", nullptr, nullptr), FtpRequestProblem::kInvalid);
    EXPECT_EQ(plan_ftp_request("ftp://h:65536/f", nullptr, nullptr), FtpRequestProblem::kInvalid);
    // Longer than the client keeps: a cut path would name another file.
    EXPECT_EQ(plan_ftp_request("ftp://h/" + std::string(700, 'p'), nullptr, nullptr),
              FtpRequestProblem::kInvalid);

    // A line break in the path would smuggle in a command of its own.
    EXPECT_EQ(plan_ftp_request("ftp://h/f\r\nDELE x", nullptr, nullptr),
              FtpRequestProblem::kInvalid);
    EXPECT_EQ(plan_ftp_request("ftp://h/f\nDELE x", nullptr, nullptr), FtpRequestProblem::kInvalid);
    EXPECT_EQ(plan_ftp_request("ftp://h/f\rDELE x", nullptr, nullptr), FtpRequestProblem::kInvalid);
    for (const auto& [user, password] :
         {std::pair{"joe\r\nDELE x"s, "p"s}, std::pair{"joe"s, "p\nSITE x"s},
          std::pair{"joe"s, "p\rx"s}}) {
        const Credentials c = encoded(user, password);
        EXPECT_EQ(plan_ftp_request("ftp://h/f", &c, nullptr), FtpRequestProblem::kInvalid) << user;
    }
    const Credentials not_base64{"!!!!", ""};
    EXPECT_EQ(plan_ftp_request("ftp://h/f", &not_base64, nullptr), FtpRequestProblem::kInvalid);
}

TEST(FtpRequest, PathEscapesAreDecodedButNeverIntoLineBreaks) {
    FtpRequest r;
    ASSERT_EQ(plan_ftp_request("ftp://h/pub/a%20b.zip", nullptr, &r), FtpRequestProblem::kNone);
    EXPECT_EQ(r.path, "/pub/a b.zip");
    // Hex digits of either case; a '%' that starts no escape stays as it is.
    ASSERT_EQ(plan_ftp_request("ftp://h/100%25%2fx%4A%zz%4", nullptr, &r),
              FtpRequestProblem::kNone);
    EXPECT_EQ(r.path, "/100%/xJ%zz%4");
    for (const char* url :
         {"ftp://h/f%0D%0ADELE%20x", "ftp://h/f%0aSITE", "ftp://h/f%0d", "ftp://h/f%00.zip"}) {
        EXPECT_EQ(plan_ftp_request(url, nullptr, &r), FtpRequestProblem::kInvalid) << url;
    }
}

TEST(FtpRequest, NulEndsTheUrlAndTheCredentials) {
    FtpRequest r;
    ASSERT_EQ(plan_ftp_request("ftp://h/f\0\r\nDELE x"s, nullptr, &r), FtpRequestProblem::kNone);
    EXPECT_EQ(r.path, "/f");
    const Credentials c = encoded("joe\0\r\nDELE x"s, "p");
    ASSERT_EQ(plan_ftp_request("ftp://h/f", &c, &r), FtpRequestProblem::kNone);
    EXPECT_EQ(r.user_name, "joe");
}

TEST(FtpRequest, CommandsEndOnceAndCarryNoLineBreaks) {
    EXPECT_EQ(ftp_command("USER", "joe"), "USER joe\r\n");
    EXPECT_EQ(ftp_command("PASS", ""), "PASS \r\n");
    EXPECT_EQ(ftp_command("PASV"), "PASV\r\n");
    EXPECT_EQ(ftp_command("RETR", "/a\r\nDELE b"), std::nullopt);
    EXPECT_EQ(ftp_command("RETR", "/a\nb"), std::nullopt);
    EXPECT_EQ(ftp_command("RETR", "/a\0b"s), std::nullopt);
}

TEST(FtpRequest, PortArguments) {
    in_addr a{};
    ASSERT_EQ(::inet_pton(AF_INET, "192.168.1.20", &a), 1);
    EXPECT_EQ(ftp_port_argument(a.s_addr, 0x1234), "192,168,1,20,18,52");
    EXPECT_EQ(ftp_port_argument(a.s_addr, 80), "192,168,1,20,0,80");
    EXPECT_EQ(ftp_extended_port_argument(true, "::1", 5000), "|2|::1|5000|");
}

}  // namespace
}  // namespace rg
