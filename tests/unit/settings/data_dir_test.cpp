#include "platform/data_dir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace rg {
namespace {

mode_t folder_mode(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    return info.st_mode & 0777;
}

TEST(DataDir, ExplicitFolderWinsAndIsCreated) {
    test::TempDir dir;
    const std::string wanted = dir.file("given/nested");
    const DataDirResult result =
        resolve_data_dir({wanted, dir.path(), dir.file("xdg"), dir.file("home")});
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.folder, wanted);
    EXPECT_EQ(folder_mode(wanted), 0700u);
}

TEST(DataDir, WritableExecutableFolderComesNext) {
    test::TempDir dir;
    const DataDirResult result = resolve_data_dir({"", dir.path(), dir.file("xdg"), "/nowhere"});
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.folder, dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir.file("xdg")));
}

TEST(DataDir, OtherwiseThePerUserDataFolder) {
    test::TempDir dir;
    const std::string no_exe = dir.file("not-there");

    DataDirResult result = resolve_data_dir({"", no_exe, dir.file("xdg"), dir.file("home")});
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.folder, dir.file("xdg/reelgrab"));
    EXPECT_EQ(folder_mode(result.folder), 0700u);

    // A relative XDG_DATA_HOME is ignored.
    result = resolve_data_dir({"", no_exe, "relative", dir.file("home")});
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.folder, dir.file("home/.local/share/reelgrab"));
    EXPECT_EQ(folder_mode(dir.file("home/.local")), 0700u);

    result = resolve_data_dir({"", no_exe, "", ""});
    EXPECT_EQ(result.error, DataDirError::kNoHome);
}

TEST(DataDir, AFileInTheWayIsAnError) {
    test::TempDir dir;
    test::write_file(dir.file("blocker"), "");
    DataDirResult result = resolve_data_dir({dir.file("blocker/data"), "", "", ""});
    EXPECT_EQ(result.error, DataDirError::kCannotCreate);
    result = resolve_data_dir({"", "", dir.file("blocker"), ""});
    EXPECT_EQ(result.error, DataDirError::kCannotCreate);
    EXPECT_EQ(folder_of("/usr/bin/rlg"), "/usr/bin");
    EXPECT_EQ(folder_of("/rlg"), "/");
    EXPECT_EQ(folder_of("rlg"), "");
}

}  // namespace
}  // namespace rg
