// Download files reach the disk before anything records them: flushed when they close, and the
// folders of their renames flushed after the rename.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/file_moves.h"
#include "platform/local_file.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

// Remembers the path of every descriptor it opens, and what was flushed and closed, in order.
class RecordingOps : public FileOps {
  public:
    int open(const char* path, int flags, mode_t mode) override {
        const int fd = FileOps::open(path, flags, mode);
        if (fd >= 0)
            paths_[fd] = std::string(path) + ((flags & O_DIRECTORY) != 0 ? "/" : "");
        return fd;
    }
    int fsync(int fd) override {
        events.push_back("fsync " + paths_[fd]);
        return FileOps::fsync(fd);
    }
    int fdatasync(int fd) override {
        events.push_back("fdatasync " + paths_[fd]);
        return fail_data_sync ? (errno = EIO, -1) : FileOps::fdatasync(fd);
    }
    int close(int fd) override {
        events.push_back("close " + paths_[fd]);
        return FileOps::close(fd);
    }

    std::vector<std::string> events;
    bool fail_data_sync = false;

  private:
    std::map<int, std::string> paths_;
};

TEST(DurableFile, ADownloadFileIsFlushedWhenItsLastHolderLetsGo) {
    test::TempDir dir;
    RecordingOps ops;
    const std::string path = dir.file("f.bin");
    auto file = LocalFile::open(path, LocalFile::Mode::ReadWrite, nullptr, ops);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write_at(0, "abc", 3));
    auto other_holder = file;
    file.reset();
    EXPECT_TRUE(ops.events.empty());
    other_holder.reset();
    EXPECT_EQ(ops.events, (std::vector<std::string>{"fdatasync " + path, "close " + path}));
}

TEST(DurableFile, FlushByNameTellsAFailureFromAMissingFile) {
    test::TempDir dir;
    RecordingOps ops;
    test::write_file(dir.file("f.bin"), "abc");
    EXPECT_EQ(flush_file_at(dir.file("f.bin"), ops), FlushResult::Flushed);
    EXPECT_EQ(flush_file_at(dir.file("gone.bin"), ops), FlushResult::NoFile);
    ops.fail_data_sync = true;
    EXPECT_EQ(flush_file_at(dir.file("f.bin"), ops), FlushResult::Failed);
    // Every descriptor opened was closed again.
    EXPECT_EQ(ops.events.back(), "close " + dir.file("f.bin"));
}

TEST(DurableFile, RenamesFlushTheFoldersOfBothNames) {
    test::TempDir dir;
    const std::string sub = dir.file("sub");
    std::filesystem::create_directory(sub);
    test::write_file(dir.file("a.part"), "a");
    {
        RecordingOps ops;
        ASSERT_EQ(rename_no_replace(dir.file("a.part"), dir.file("a.bin"), ops), 0);
        EXPECT_EQ(ops.events, (std::vector<std::string>{"fsync " + dir.path() + "/",
                                                        "close " + dir.path() + "/"}));
    }
    {
        RecordingOps ops;
        ASSERT_EQ(move_file_replace(dir.file("a.bin"), sub + "/a.bin", ops), 0);
        EXPECT_EQ(ops.events, (std::vector<std::string>{"fsync " + sub + "/", "close " + sub + "/",
                                                        "fsync " + dir.path() + "/",
                                                        "close " + dir.path() + "/"}));
    }
    {
        // A refused rename changes nothing and flushes nothing.
        RecordingOps ops;
        test::write_file(dir.file("b.bin"), "b");
        EXPECT_EQ(rename_no_replace(dir.file("b.bin"), sub + "/a.bin", ops), EEXIST);
        EXPECT_TRUE(ops.events.empty());
    }
}

TEST(DurableFile, AKeptCopyLeavesTheOriginalAndNeverReplaces) {
    test::TempDir dir;
    test::write_file(dir.file("list"), "original");
    test::write_file(dir.file("taken"), "older copy");
    EXPECT_EQ(keep_copy_no_replace(dir.file("list"), dir.file("taken")), EEXIST);
    EXPECT_EQ(test::read_file(dir.file("taken")), "older copy");
    ASSERT_EQ(keep_copy_no_replace(dir.file("list"), dir.file("kept")), 0);
    EXPECT_EQ(test::read_file(dir.file("kept")), "original");
    EXPECT_EQ(test::read_file(dir.file("list")), "original");
}

}  // namespace
}  // namespace rg
