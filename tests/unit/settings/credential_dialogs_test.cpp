#include <gtest/gtest.h>

#include "engine/credentials_dialog.h"
#include "engine/download_list.h"
#include "settings/server_entry.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

class CredentialDialogsTest : public ::testing::Test {
  protected:
    CredentialDialogsTest() { passwords_.load(); }

    test::TempDir dir_;
    IniStore ini_{dir_.file("rlg.ini")};
    SitePasswordList passwords_{ini_};
    test::RecordingHost host_;
};

TEST_F(CredentialDialogsTest, ServerEntryAddsEditsAndRefusesABadServer) {
    const ServerEntryResult empty = server_entry_ok(host_, passwords_, std::nullopt, "", "u", "p");
    EXPECT_FALSE(empty.close);
    const ServerEntryResult too_long =
        server_entry_ok(host_, passwords_, std::nullopt, std::string(800, 's'), "u", "p");
    EXPECT_FALSE(too_long.close);
    ASSERT_EQ(host_.messages.size(), 2u);
    EXPECT_EQ(host_.messages[1].text, "Please insert a valid server url.");
    EXPECT_EQ(host_.messages[1].caption, "Error");
    EXPECT_EQ(passwords_.size(), 0u);

    EXPECT_TRUE(
        server_entry_ok(host_, passwords_, std::nullopt, "a.example", std::string(100, 'u'), "pw")
            .close);
    ASSERT_EQ(passwords_.size(), 1u);
    EXPECT_EQ(passwords_.entries()[0].user_name, std::string(79, 'u'));

    const ServerEntryResult edited = server_entry_ok(host_, passwords_, 0, "b.example", "bob", "x");
    EXPECT_TRUE(edited.close);
    EXPECT_EQ(edited.error, SitePasswordError::kNone);
    SitePasswordList reloaded(ini_);
    reloaded.load();
    EXPECT_EQ(reloaded.entries(), (std::vector<SitePassword>{{"b.example", "bob", "x"}}));
}

TEST_F(CredentialDialogsTest, CredentialsDialogConfirmsClearingAndRemembers) {
    DownloadList list;
    DownloadItem& item = list.append_item();
    item.lock()->set_url("http://files.example:8080/a.zip");
    DownloadItem* targets[] = {&item};

    const auto stored = credentials_dialog_ok(host_, "joe", "pw", true, targets, passwords_);
    EXPECT_TRUE(stored.close);
    EXPECT_EQ(field_text(item.lock()->saved.user_name), "am9l");
    EXPECT_EQ(passwords_.find("http://FILES.example/b")->user_name, "joe");
    EXPECT_TRUE(host_.messages.empty());

    host_.answers.push_back(MessageAnswer::No);
    EXPECT_FALSE(credentials_dialog_ok(host_, "", "", false, targets, passwords_).close);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "Are you Sure you want to Clear Username and Password");
    EXPECT_EQ(host_.messages[0].caption, "Empty Fields");
    EXPECT_EQ(host_.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(field_text(item.lock()->saved.user_name), "am9l");

    host_.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(credentials_dialog_ok(host_, "", "", false, targets, passwords_).close);
    EXPECT_EQ(field_text(item.lock()->saved.user_name), "");
    EXPECT_EQ(field_text(item.lock()->saved.password), "");
}

}  // namespace
}  // namespace rg
