#include "protocols/connection.h"

#include <gtest/gtest.h>

#include <string>

namespace rg {
namespace {

using namespace std::string_literals;

TEST(Connection, StartsIdleWithTheInitialTexts) {
    const Connection c;
    EXPECT_EQ(c.response_text(), "Error <None>");
    EXPECT_EQ(c.reason_text(), "");
    EXPECT_EQ(c.raw_headers(), "");
    EXPECT_EQ(c.server_file_name(), "");
    EXPECT_EQ(c.use_cookies, 1);
    EXPECT_EQ(c.protocol, Protocol::Http);
    EXPECT_EQ(c.error_code, 0u);
    EXPECT_EQ(c.content_length, 0);
    EXPECT_EQ(c.resumable, kResumableNotReported);
    EXPECT_NE(c.http, nullptr);
    EXPECT_EQ(c.range_start, kNoRange);
    EXPECT_EQ(c.range_total, kNoRange);
    EXPECT_EQ(c.validator, "");

    EXPECT_EQ(c.ftp.error_text(), "<None>");
    EXPECT_FALSE(c.ftp.connected);
    EXPECT_EQ(c.ftp.listen_socket, kInvalidSocket);
    EXPECT_EQ(c.ftp.control_socket, kInvalidSocket);
    EXPECT_EQ(c.ftp.data_socket, kInvalidSocket);
    EXPECT_EQ(c.ftp.announced_size, 0);
    EXPECT_FALSE(c.ftp.receive_failed);
}

TEST(Connection, TextSettersKeepTheFieldLimits) {
    Connection c;
    struct Case {
        bool (Connection::*set)(std::string_view);
        const std::string& (Connection::*get)() const;
        std::size_t max;
    };
    const Case cases[] = {
        {&Connection::set_reason_text, &Connection::reason_text, kReasonTextMax},
        {&Connection::set_response_text, &Connection::response_text, kResponseTextMax},
        {&Connection::set_raw_headers, &Connection::raw_headers, kRawHeadersMax},
        {&Connection::set_server_file_name, &Connection::server_file_name, kServerFileNameMax},
    };
    for (const Case& k : cases) {
        EXPECT_TRUE((c.*k.set)(std::string(k.max, 'x')));
        EXPECT_EQ((c.*k.get)().size(), k.max);
        EXPECT_FALSE((c.*k.set)(std::string(k.max + 1, 'y')));
        EXPECT_EQ((c.*k.get)(), std::string(k.max, 'y'));
        EXPECT_FALSE((c.*k.set)(std::string(64 * 1024, 'z')));
        EXPECT_EQ((c.*k.get)().size(), k.max);
    }
    EXPECT_EQ(kReasonTextMax, 255u);
    EXPECT_EQ(kResponseTextMax, 511u);
    EXPECT_EQ(kRawHeadersMax, 2047u);
    EXPECT_EQ(kServerFileNameMax, 1023u);
}

TEST(Connection, TextsEndAtTheirFirstNul) {
    Connection c;
    EXPECT_FALSE(c.set_server_file_name("movie.avi\0../../.bashrc"s));
    EXPECT_EQ(c.server_file_name(), "movie.avi");
    EXPECT_TRUE(c.set_response_text(""));
    EXPECT_EQ(c.response_text(), "");

    FtpSession ftp;
    EXPECT_FALSE(ftp.set_line("226 ok\0junk"s));
    EXPECT_EQ(ftp.line(), "226 ok");
}

TEST(FtpSession, LimitsErrorTextAndLine) {
    FtpSession ftp;
    EXPECT_FALSE(ftp.set_error_text(std::string(5000, 'e')));
    EXPECT_EQ(ftp.error_text().size(), kFtpErrorTextMax);
    EXPECT_EQ(kFtpErrorTextMax, 1023u);
    EXPECT_TRUE(ftp.set_line(std::string(kFtpLineMax, 'l')));
    EXPECT_FALSE(ftp.set_line(std::string(kFtpLineMax + 1, 'l')));
    EXPECT_EQ(ftp.line().size(), 1024u);
}

TEST(Connection, ResumableIsTakenOnce) {
    Connection c;
    EXPECT_FALSE(c.take_resumable());
    c.resumable = 0;
    EXPECT_EQ(c.take_resumable(), 0);
    EXPECT_FALSE(c.take_resumable());
    c.resumable = 1;
    EXPECT_EQ(c.take_resumable(), 1);
    EXPECT_EQ(c.resumable, kResumableNotReported);
}

TEST(Connection, ProtocolFromTheFirstThreeCharacters) {
    EXPECT_EQ(protocol_for_url("ftp://host/f"), Protocol::Ftp);
    EXPECT_EQ(protocol_for_url("FtP://host/f"), Protocol::Ftp);
    EXPECT_EQ(protocol_for_url("ftpx.example.com/f"), Protocol::Ftp);
    EXPECT_EQ(protocol_for_url("ftp"), Protocol::Ftp);
    EXPECT_EQ(protocol_for_url("ft"), Protocol::Http);
    EXPECT_EQ(protocol_for_url(""), Protocol::Http);
    EXPECT_EQ(protocol_for_url("http://ftp/f"), Protocol::Http);
    EXPECT_EQ(protocol_for_url(" ftp://host"), Protocol::Http);
    EXPECT_EQ(static_cast<std::uint32_t>(Protocol::Http), 0u);
    EXPECT_EQ(static_cast<std::uint32_t>(Protocol::Ftp), 1u);
}

TEST(Connection, PassingFailuresAreTheThreeReachErrors) {
    EXPECT_TRUE(is_passing_connection_failure(12002));
    EXPECT_TRUE(is_passing_connection_failure(12007));
    EXPECT_TRUE(is_passing_connection_failure(12029));
    EXPECT_FALSE(is_passing_connection_failure(0));
    EXPECT_FALSE(is_passing_connection_failure(12030));
    EXPECT_FALSE(is_passing_connection_failure(401));
}

}  // namespace
}  // namespace rg
