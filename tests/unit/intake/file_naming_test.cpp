#include "intake/file_naming.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace rg {
namespace {

TEST(ProposedFileName, FromTheUrlPath) {
    EXPECT_EQ(proposed_file_name("http://host/dir/file.zip"), "file.zip");
    EXPECT_EQ(proposed_file_name("http://host/dl.php?id=5"), "dl.php");
    EXPECT_EQ(proposed_file_name("http://host/a.avi#t=5"), "a.avi");
    EXPECT_EQ(proposed_file_name("http://host/"), "rename.ext");
    EXPECT_EQ(proposed_file_name("http://host"), "rename.ext");
    // Not decoded; leading dots go, so the name cannot hide or climb.
    EXPECT_EQ(proposed_file_name("http://host/x/..%2F..%2Fetc"), "%2F..%2Fetc");
    EXPECT_EQ(proposed_file_name("http://host/.."), "rename.ext");
    EXPECT_EQ(proposed_file_name("http://host/my%20file.bin"), "my%20file.bin");
}

TEST(FreeLocalPath, NumbersTakenNames) {
    test::TempDir dir;
    EXPECT_EQ(free_local_path(dir.path(), "a.zip"), dir.file("a.zip"));
    test::write_file(dir.file("a.zip"), "");
    test::write_file(dir.file("a (1).zip"), "");
    EXPECT_EQ(free_local_path(dir.path() + "/", "a.zip"), dir.file("a (2).zip"));
    test::write_file(dir.file("noext"), "");
    EXPECT_EQ(free_local_path(dir.path(), "noext"), dir.file("noext (1)"));
}

}  // namespace
}  // namespace rg
