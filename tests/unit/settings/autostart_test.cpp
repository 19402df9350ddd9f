#include "platform/autostart.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace rg {
namespace {

TEST(Autostart, ConfigFolderFollowsTheBaseDirectoryRules) {
    EXPECT_EQ(config_folder("/xdg/config", "/home/u"), "/xdg/config");
    EXPECT_EQ(config_folder("", "/home/u"), "/home/u/.config");
    EXPECT_EQ(config_folder("relative/config", "/home/u"), "/home/u/.config");
    EXPECT_FALSE(config_folder("", ""));
    EXPECT_FALSE(config_folder("relative", "also/relative"));
    EXPECT_EQ(autostart_entry_path("/home/u/.config/"),
              "/home/u/.config/autostart/reelgrab.desktop");
}

TEST(Autostart, SetWritesAnEntryAndClearRemovesIt) {
    test::TempDir dir;
    const std::string config = dir.file("config");
    ASSERT_EQ(set_autostart(config, "/opt/reelgrab/reelgrab"), AutostartError::kNone);
    const std::string entry = config + "/autostart/reelgrab.desktop";
    EXPECT_EQ(test::read_file(entry),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Reelgrab\n"
              "Exec=\"/opt/reelgrab/reelgrab\"\n"
              "Terminal=false\n");
    struct stat info {};
    ASSERT_EQ(::stat((config + "/autostart").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // Setting again replaces the entry.
    ASSERT_EQ(set_autostart(config, "/usr/bin/reelgrab"), AutostartError::kNone);
    EXPECT_NE(test::read_file(entry).find("Exec=\"/usr/bin/reelgrab\"\n"), std::string::npos);

    EXPECT_EQ(clear_autostart(config), AutostartError::kNone);
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(clear_autostart(config), AutostartError::kNone);
}

TEST(Autostart, ExecQuotesAndEscapesThePath) {
    // Quoting layer: \" \` \$ \\ and %%; then the string layer doubles every backslash.
    const auto text = autostart_entry_text("/a b/\"q\"/`c`/$HOME/back\\slash/100%/é");
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("Exec=\"/a b/\\\\\"q\\\\\"/\\\\`c\\\\`/\\\\$HOME/back\\\\\\\\slash/"
                         "100%%/é\"\n"),
              std::string::npos)
        << *text;
}

TEST(Autostart, PathsAnEntryCannotHoldAreRefused) {
    test::TempDir dir;
    for (const char* path : {"relative/reelgrab", "/bad\nline", "/tab\there", "/latin1\xe9"}) {
        EXPECT_EQ(set_autostart(dir.path(), path), AutostartError::kBadExecutablePath) << path;
    }
    EXPECT_FALSE(autostart_entry_text("/overlong\xc0\xaf"));
    EXPECT_FALSE(autostart_entry_text("/surrogate\xed\xa0\x80"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/autostart"));
}

TEST(Autostart, CurrentExecutableIsThisTestProgram) {
    const auto path = current_executable_path();
    ASSERT_TRUE(path);
    EXPECT_EQ(path->front(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(*path));
}

}  // namespace
}  // namespace rg
