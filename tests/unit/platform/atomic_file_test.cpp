#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "support/temp_dir.h"

namespace rg {
namespace {

std::size_t entries_in(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

// Fails the chosen operation with the chosen error.
class FailingOps : public FileOps {
  public:
    enum class Step { None, Write, Fsync, Rename };
    explicit FailingOps(Step step) : step_(step) {}

    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (step_ == Step::Write)
            return fail(ENOSPC);
        return FileOps::write(fd, data, size);
    }
    int fsync(int fd) override { return step_ == Step::Fsync ? fail(EIO) : FileOps::fsync(fd); }
    int rename(const char* from, const char* to) override {
        return step_ == Step::Rename ? fail(EXDEV) : FileOps::rename(from, to);
    }

  private:
    static int fail(int err) {
        errno = err;
        return -1;
    }
    Step step_;
};

TEST(AtomicFile, ReplacesWholeAndPrivate) {
    test::TempDir dir;
    const std::string path = dir.file("list");
    test::write_file(path, "old contents");
    ::chmod(path.c_str(), 0644);
    ASSERT_TRUE(write_file_atomically(path, "new"));
    EXPECT_EQ(test::read_file(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(entries_in(dir.path()), 1u);
}

TEST(AtomicFile, LargeContentsCrossTheBuffer) {
    test::TempDir dir;
    const std::string big(300000, 'x');
    ASSERT_TRUE(write_file_atomically(dir.file("f"), big));
    EXPECT_EQ(test::read_file(dir.file("f")), big);
}

TEST(AtomicFile, AnyFailureLeavesTheOldFileAndNoTemporary) {
    for (auto step : {FailingOps::Step::Write, FailingOps::Step::Fsync, FailingOps::Step::Rename}) {
        test::TempDir dir;
        const std::string path = dir.file("list");
        test::write_file(path, "old contents");
        FailingOps ops(step);
        int error = 0;
        EXPECT_FALSE(write_file_atomically(path, "new contents", ops, &error));
        EXPECT_NE(error, 0);
        EXPECT_EQ(test::read_file(path), "old contents");
        EXPECT_EQ(entries_in(dir.path()), 1u);
    }
}

TEST(AtomicFile, MissingFolderFailsCleanly) {
    test::TempDir dir;
    int error = 0;
    EXPECT_FALSE(write_file_atomically(dir.file("no/such/file"), "x", system_file_ops(), &error));
    EXPECT_EQ(error, ENOENT);
}

TEST(AtomicFile, StaleTemporariesOfOneTargetOnly) {
    test::TempDir dir;
    test::write_file(dir.file("list.1.2.tmp"), "");
    test::write_file(dir.file("other.1.2.tmp"), "");
    test::write_file(dir.file("list"), "");
    remove_stale_temp_files(dir.file("list"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("list.1.2.tmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("other.1.2.tmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("list")));
}

}  // namespace
}  // namespace rg
