// Credentials and redirects across requests: a download's user name and password go only to the
// origin they were given for, whatever the servers redirect to; an FTP redirect goes on in FTP.
#include <gtest/gtest.h>

#include <string>

#include "settings/site_passwords.h"
#include "support/controller_harness.h"
#include "support/fake_ftp_server.h"
#include "support/fault_http_server.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using test::FaultHttpServer;

constexpr auto kDeadline = std::chrono::seconds(60);
constexpr std::size_t kFileSize = 4000;

// `url` as one query value.
std::string query_value(std::string_view url) {
    std::string out;
    for (char c : url) {
        if (c == '?' || c == '&' || c == '=' || c == '%') {
            constexpr std::string_view kHex = "0123456789ABCDEF";
            out += '%';
            out += kHex[static_cast<unsigned char>(c) >> 4];
            out += kHex[static_cast<unsigned char>(c) & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

class RedirectCredentialsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(origin_.ok()) << origin_.error();
        ASSERT_TRUE(other_.ok()) << other_.error();
        h_.settings.update([](Settings& s) {
            s.RetryDelay = 50;
            s.RetryCount = 3;
            s.RecieveTimeOut = 5000;
            s.ConnectTimeOut = 5000;
        });
        ASSERT_TRUE(h_.start());
    }

    // A download of `url` that carries the user name "me" and the password "secret".
    DownloadList::ItemPtr add_with_credentials(const std::string& url) {
        auto item = h_.add(url, "file.bin", true);
        auto data = item->lock();
        set_field_text(data->saved.user_name, *encode_credential("me"));
        set_field_text(data->saved.password, *encode_credential("secret"));
        return item;
    }

    static bool has_credentials(DownloadItem& item) {
        auto data = item.lock();
        return !field_text(data->saved.user_name).empty() ||
               !field_text(data->saved.password).empty();
    }

    static int authorized_requests(const FaultHttpServer& server) {
        int n = 0;
        for (const std::string& request : server.requests())
            n += FaultHttpServer::header(request, "Authorization").has_value();
        return n;
    }

    FaultHttpServer origin_;
    FaultHttpServer other_;  // another port on loopback: another origin
    test::ControllerHarness h_;
};

TEST_F(RedirectCredentialsTest, LaterSpansToAnotherOriginCarryNoCredentials) {
    // The other origin serves the file in pieces, so that several spans go there.
    const std::string target = other_.url("/gen/4000/file.bin?drop_after=1000");
    auto item =
        add_with_credentials(origin_.url("/start?auth=me:secret&redirect=") + query_value(target));
    ASSERT_TRUE(h_.run(*item, {}, kDeadline));
    ASSERT_TRUE(h_.completed.count(item.get())) << item->status_text();
    EXPECT_EQ(test::read_file(h_.out() + "/file.bin"), test::generated_content(0, kFileSize));
    EXPECT_EQ(item->url(), target);

    EXPECT_EQ(authorized_requests(origin_), 1);
    EXPECT_GE(other_.requests().size(), 4u);
    EXPECT_EQ(authorized_requests(other_), 0);
    // Nothing is left to go there on a restart either.
    EXPECT_FALSE(has_credentials(*item));
}

TEST_F(RedirectCredentialsTest, RedirectsWithinTheOriginKeepThem) {
    const std::string target = origin_.url("/gen/4000/file.bin?auth=me:secret&drop_after=1000");
    auto item =
        add_with_credentials(origin_.url("/start?auth=me:secret&redirect=") + query_value(target));
    ASSERT_TRUE(h_.run(*item, {}, kDeadline));
    ASSERT_TRUE(h_.completed.count(item.get())) << item->status_text();
    EXPECT_EQ(test::read_file(h_.out() + "/file.bin"), test::generated_content(0, kFileSize));
    EXPECT_TRUE(has_credentials(*item));
    EXPECT_EQ(authorized_requests(origin_), static_cast<int>(origin_.requests().size()));
}

TEST_F(RedirectCredentialsTest, FtpRedirectGoesOnInFtpWithoutTheCredentials) {
    const std::string content = test::generated_content(0, kFileSize);
    test::FakeFtpServer ftp({.file = content});
    ASSERT_TRUE(ftp.ok());
    const std::string target = ftp.url("/pub/file.bin");
    auto item =
        add_with_credentials(origin_.url("/start?auth=me:secret&redirect=") + query_value(target));
    ASSERT_TRUE(h_.run(*item, {}, kDeadline));
    ASSERT_TRUE(h_.completed.count(item.get())) << item->status_text();
    EXPECT_EQ(test::read_file(h_.out() + "/file.bin"), content);
    EXPECT_EQ(item->url(), target);
    EXPECT_EQ(item->connection.protocol, Protocol::Ftp);
    EXPECT_FALSE(has_credentials(*item));
    for (const std::string& command : ftp.commands()) {
        EXPECT_FALSE(command.starts_with("USER me")) << command;
        EXPECT_FALSE(command.starts_with("PASS secret")) << command;
    }
}

}  // namespace
}  // namespace rg
