#include <gtest/gtest.h>

#include <filesystem>

#include "engine/status_texts.h"
#include "engine/transfer_worker.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

class RenameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.host = &host_;
        env_.settings = &settings_;
        test::write_file(dir_.file("old.bin"), "data");
        auto data = item_.lock();
        data->set_local_path(dir_.file("old.bin"));
        data->file = LocalFile::open(dir_.file("old.bin"), LocalFile::Mode::ReadWrite);
    }

    test::TempDir dir_;
    test::RecordingHost host_;
    SettingsStore settings_;
    TransferEnv env_;
    DownloadItem item_;
};

TEST_F(RenameTest, ServerNameRenamesInPlaceAndReopens) {
    apply_server_name(item_, "New Name.avi", env_);
    EXPECT_EQ(item_.local_path(), dir_.file("New Name.avi"));
    EXPECT_EQ(test::read_file(dir_.file("New Name.avi")), "data");
    EXPECT_TRUE(item_.lock()->file);
    // The same name in another case changes nothing.
    apply_server_name(item_, "new name.AVI", env_);
    EXPECT_EQ(item_.local_path(), dir_.file("New Name.avi"));
    EXPECT_TRUE(host_.messages.empty());
}

TEST_F(RenameTest, TakenNameAsksAndMovesWhereTheUserSays) {
    test::write_file(dir_.file("taken.avi"), "someone else's");
    host_.answers.push_back(MessageAnswer::Yes);
    host_.chosen_paths.push_back(dir_.file("chosen.avi"));
    apply_server_name(item_, "taken.avi", env_);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].caption, "Redirect Error");
    EXPECT_EQ(host_.proposed_paths, std::vector<std::string>{dir_.file("taken.avi")});
    EXPECT_EQ(item_.local_path(), dir_.file("chosen.avi"));
    EXPECT_EQ(test::read_file(dir_.file("taken.avi")), "someone else's");
}

TEST_F(RenameTest, TakenNameAnsweredNoKeepsEverything) {
    std::filesystem::create_symlink("/etc/hostname", dir_.file("link.avi"));
    host_.answers.push_back(MessageAnswer::No);
    apply_server_name(item_, "link.avi", env_);
    EXPECT_EQ(item_.local_path(), dir_.file("old.bin"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.file("link.avi")));
    EXPECT_TRUE(item_.lock()->file);
}

TEST_F(RenameTest, MontageHeldItemOnlyRemembersTheName) {
    item_.state = ItemState::MontageHeld;
    apply_server_name(item_, "later.avi", env_);
    EXPECT_EQ(item_.local_path(), dir_.file("old.bin"));
    EXPECT_TRUE(item_.lock()->pending_rename);
    EXPECT_EQ(item_.lock()->pending_name, "later.avi");
}

TEST_F(RenameTest, RedirectTakesTheLastPathSegmentOnly) {
    follow_redirect(item_, "http://h/dir/", env_);
    EXPECT_EQ(item_.local_path(), dir_.file("old.bin"));
    EXPECT_EQ(item_.url(), "");
    follow_redirect(item_, "http://h/a/file.avi?x=/y#z", env_);
    EXPECT_EQ(item_.local_path(), dir_.file("file.avi"));
    EXPECT_EQ(item_.url(), "http://h/a/file.avi?x=/y#z");
}

TEST_F(RenameTest, UserRenameNeedsAStoppedItem) {
    item_.state = ItemState::Running;
    EXPECT_EQ(change_local_filename(item_, host_), RenameResult::NotPaused);
    EXPECT_EQ(host_.messages.back().text, "Download Must be Paused to Rename File");
    item_.state = ItemState::Stopped;
    EXPECT_EQ(change_local_filename(item_, host_), RenameResult::Cancelled);
    host_.chosen_paths.push_back(dir_.file("mine.bin"));
    EXPECT_EQ(change_local_filename(item_, host_), RenameResult::Renamed);
    EXPECT_EQ(item_.file_name(), "mine.bin");
    host_.chosen_paths.push_back(dir_.file("no/such/folder/x"));
    EXPECT_EQ(change_local_filename(item_, host_), RenameResult::Failed);
    EXPECT_EQ(host_.messages.back().text, "The File Cannot be renamed.");
}

}  // namespace
}  // namespace rg
