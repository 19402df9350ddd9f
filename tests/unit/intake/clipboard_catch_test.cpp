#include "intake/clipboard_catch.h"

#include <gtest/gtest.h>

namespace rg {
namespace {

constexpr std::string_view kDefaultExt = "*.zip;*.exe;*.avi;*.mpg;*.rar";

TEST(CatchTest, Rules) {
    const DownloadList empty;
    EXPECT_TRUE(catch_test("http://ho/a.zip", kDefaultExt, empty));
    EXPECT_FALSE(catch_test("http://h/a.zip", kDefaultExt, empty));  // 14 characters
    EXPECT_TRUE(catch_test("ftp://host/a.RAR", kDefaultExt, empty));
    EXPECT_TRUE(catch_test("https://host/a.avi", kDefaultExt, empty));
    // The prefix is compared byte for byte (the monitor lowers the first four characters).
    EXPECT_FALSE(catch_test("HTTP://host/a.zip", kDefaultExt, empty));
    EXPECT_FALSE(catch_test("file://host/a.zip", kDefaultExt, empty));
    // The extension is what follows the last '.', at least two characters, found anywhere in
    // the pattern list ignoring case.
    EXPECT_TRUE(catch_test("http://host/setup.ex", kDefaultExt, empty));
    EXPECT_TRUE(catch_test("http://host/a.zip", "*.ZIP", empty));
    EXPECT_FALSE(catch_test("http://host/a.zip?x=1", kDefaultExt, empty));
    EXPECT_FALSE(catch_test("http://www.host.com/download", kDefaultExt, empty));
    EXPECT_FALSE(catch_test("http://host/file.z", "*.z;*.zip", empty));
    EXPECT_FALSE(catch_test("http://host/noextension", kDefaultExt, empty));
}

TEST(CatchTest, UrlAlreadyListedIsNotCaught) {
    DownloadList list;
    list.append_item().lock()->set_url("http://host/a.zip");
    EXPECT_FALSE(catch_test("http://HOST/A.zip", kDefaultExt, list));
    EXPECT_TRUE(catch_test("http://host/b.zip", kDefaultExt, list));
}

class ClipboardMonitorTest : public ::testing::Test {
  protected:
    bool copy(std::optional<std::string_view> text) {
        return monitor_.on_clipboard_changed(text, settings_, list_, [this](const std::string& u) {
            opened_.push_back(u);
            if (nested_)
                nested_caught_ = monitor_.on_clipboard_changed(*nested_, settings_, list_, {});
        });
    }

    ClipboardMonitor monitor_;
    Settings settings_;
    DownloadList list_;
    std::vector<std::string> opened_;
    std::optional<std::string> nested_;
    bool nested_caught_ = false;
};

TEST_F(ClipboardMonitorTest, CatchesOnceUntilAnotherUrlWasCaught) {
    EXPECT_FALSE(copy("http://host/a.zip"));  // still starting up
    monitor_.set_initialised();
    EXPECT_TRUE(copy("HTTP://host/A.ZIP"));
    EXPECT_EQ(opened_, std::vector<std::string>{"http://host/A.ZIP"});
    EXPECT_EQ(monitor_.last_caught_url(), "http://host/A.ZIP");
    EXPECT_FALSE(copy("http://HOST/a.zip"));
    EXPECT_TRUE(copy("ftp://host/b.exe"));
    EXPECT_TRUE(copy("http://host/a.zip"));
    EXPECT_EQ(opened_.size(), 3u);
}

TEST_F(ClipboardMonitorTest, IgnoresWhatItMustNotExamine) {
    monitor_.set_initialised();
    settings_.MonitorClipboard = 0;
    EXPECT_FALSE(copy("http://host/a.zip"));
    settings_.MonitorClipboard = 1;
    EXPECT_FALSE(copy(std::nullopt));
    EXPECT_FALSE(copy("http://host/" + std::string(4080, 'a') + ".zip"));
    // A text ends at its first NUL, as the clipboard's does.
    EXPECT_TRUE(copy(std::string_view("http://host/a.zip\0.txt", 22)));
    EXPECT_TRUE(opened_.size() == 1 && opened_[0] == "http://host/a.zip");
}

TEST_F(ClipboardMonitorTest, ChangeWhileTheDialogIsOpenIsIgnored) {
    monitor_.set_initialised();
    nested_ = "http://host/b.zip";
    EXPECT_TRUE(copy("http://host/a.zip"));
    EXPECT_FALSE(nested_caught_);
    EXPECT_FALSE(monitor_.busy());
    nested_.reset();
    EXPECT_TRUE(copy("http://host/b.zip"));
}

}  // namespace
}  // namespace rg
