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
