#include "engine/credentials.h"

#include <gtest/gtest.h>

#include "engine/download_list.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

class CredentialsTest : public ::testing::Test {
  protected:
    DownloadItem& item(const std::string& url) {
        DownloadItem& it = list_.append_item();
        it.lock()->set_url(url);
        return it;
    }
    static std::string user_of(DownloadItem& it) {
        return std::string(field_text(it.lock()->saved.user_name));
    }
    static std::string password_of(DownloadItem& it) {
        return std::string(field_text(it.lock()->saved.password));
    }

    test::TempDir dir_;
    IniStore store_{dir_.file("rlg.ini")};
    SitePasswordList passwords_{store_};
    DownloadList list_;
};

TEST_F(CredentialsTest, AppliesEncodedAndRemembersEachHostOnce) {
    ASSERT_EQ(passwords_.load(), IniReadStatus::kMissing);
    DownloadItem& a = item("http://files.example.com:8080/a.zip");
    DownloadItem& b = item("http://FILES.example.com/b.zip");
    DownloadItem* targets[] = {&a, &b};
    const auto result = apply_credentials("joe", "s3cret", true, targets, passwords_);
    EXPECT_TRUE(result.fields_fit);
    EXPECT_TRUE(result.remembered);
    EXPECT_EQ(user_of(a), "am9l");
    EXPECT_EQ(password_of(b), "czNjcmV0");
    const auto entries = passwords_.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].site, "FILES.EXAMPLE.COM");
    EXPECT_EQ(entries[0].user_name, "joe");

    // A later download from that server finds them.
    DownloadItem& c = item("http://files.example.com/c.zip");
    EXPECT_TRUE(apply_site_password(c, passwords_));
    EXPECT_EQ(user_of(c), "am9l");
    EXPECT_FALSE(apply_site_password(item("http://other.org/x"), passwords_));
    // Nor does a server whose name or path merely holds that host.
    EXPECT_FALSE(apply_site_password(item("http://files.example.com.evil.net/x"), passwords_));
    EXPECT_FALSE(apply_site_password(item("http://evil.net/?files.example.com"), passwords_));
}

TEST_F(CredentialsTest, RemembersTheServerNotTheUserOfAnOldUrl) {
    passwords_.load();
    DownloadItem& a = item("http://ann:pw@files.example.com/a.zip");
    DownloadItem* targets[] = {&a};
    apply_credentials("joe", "s3cret", true, targets, passwords_);
    const auto entries = passwords_.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].site, "FILES.EXAMPLE.COM");
}

TEST_F(CredentialsTest, EveryRequestSendsTheItemsFieldsWhenEitherIsSet) {
    DownloadItem& none = item("http://h/a");
    EXPECT_FALSE(item_credentials(none));

    DownloadItem& user_only = item("http://h/b");
    set_item_credentials(user_only, encode_credentials("joe", "").encoded);
    const auto user = item_credentials(user_only);
    ASSERT_TRUE(user);
    EXPECT_EQ(user->user_name, "am9l");
    EXPECT_EQ(user->password, "");

    // A password with an empty user name is sent as well, by the transfers and the Montage.
    DownloadItem& password_only = item("http://h/c");
    set_item_credentials(password_only, encode_credentials("", "pw").encoded);
    const auto password = item_credentials(password_only);
    ASSERT_TRUE(password);
    EXPECT_EQ(password->user_name, "");
    EXPECT_EQ(password->password, "cHc=");
}

TEST_F(CredentialsTest, EncodingRefusesWhatTheFieldsCannotHoldOrAServerCannotTake) {
    EXPECT_EQ(encode_credentials(std::string(87, 'u'), std::string(87, 'p')).problem,
              CredentialProblem::kNone);
    EXPECT_EQ(encode_credentials(std::string(88, 'u'), "").problem, CredentialProblem::kTooLong);
    EXPECT_EQ(encode_credentials("u", std::string(88, 'p')).problem, CredentialProblem::kTooLong);
    for (const char* bad : {"a\r\nQUIT", "a\tb", "\x7f"}) {
        EXPECT_EQ(encode_credentials(bad, "").problem, CredentialProblem::kControlCharacter);
        EXPECT_EQ(encode_credentials("u", bad).problem, CredentialProblem::kControlCharacter);
    }
    using namespace std::string_literals;
    EXPECT_EQ(encode_credentials("u", "a\0b"s).problem, CredentialProblem::kControlCharacter);
}

TEST_F(CredentialsTest, TooLongValueLeavesItsFieldAndIsNotRemembered) {
    passwords_.load();
    DownloadItem& a = item("http://h/a");
    DownloadItem* targets[] = {&a};
    apply_credentials("old", "old", false, targets, passwords_);
    const auto result = apply_credentials("new", std::string(88, 'p'), false, targets, passwords_);
    EXPECT_FALSE(result.fields_fit);
    EXPECT_EQ(user_of(a), "bmV3");
    EXPECT_EQ(password_of(a), "b2xk");
    EXPECT_TRUE(passwords_.entries().empty());
}

}  // namespace
}  // namespace rg
