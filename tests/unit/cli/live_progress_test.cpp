// The live progress lines: rewritten in place on a terminal, written on change elsewhere.
#include "cli/live_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace rg {
namespace {

constexpr const char* kEraseOneLine = "\x1b[1A\r\x1b[J";

class LiveProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(file_, nullptr);
        {
            auto data = item_.lock();
            data->set_local_path("/down/a.bin");
            data->saved.total_size = 4096;
        }
        item_.state = ItemState::Running;
        item_.set_status("Connecting to Server");
    }

    std::string written() const {
        std::fflush(file_.get());
        std::string text;
        std::rewind(file_.get());
        for (int c; (c = std::fgetc(file_.get())) != EOF;)
            text.push_back(static_cast<char>(c));
        return text;
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{std::tmpfile(), std::fclose};
    std::mutex mutex_;
    DownloadItem item_;
};

TEST_F(LiveProgressTest, PlainLinesAreWrittenOnlyWhenProgressOrStatusChanged) {
    LiveProgress progress(file_.get(), mutex_, false);
    progress.show({&item_}, 1000);
    progress.show({&item_}, 2000);
    EXPECT_EQ(written(), "a.bin  0 B/4 KB (0.00%)  0.00 Kb/s  Connecting to Server\n");

    item_.lock()->saved.downloaded = 1024;
    progress.show({&item_}, 3000);
    item_.set_status("Response Recieved");
    progress.show({&item_}, 4000);
    progress.report(item_, "Done");
    const std::string text = written();
    EXPECT_NE(text.find("a.bin  1 KB/4 KB (25.00%)  1.00 Kb/s  Connecting to Server\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("a.bin  1 KB/4 KB (25.00%)  0.00 Kb/s  Response Recieved\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(text.ends_with("a.bin  1 KB/4 KB (25.00%)  Done\n")) << text;
}

TEST_F(LiveProgressTest, OnATerminalTheLinesAreRewrittenInPlace) {
    LiveProgress progress(file_.get(), mutex_, true);
    progress.show({&item_}, 1000);
    progress.show({&item_}, 2000);
    progress.report(item_, "Done");
    progress.close();
    const std::string line = "a.bin  0 B/4 KB (0.00%)  0.00 Kb/s  Connecting to Server\n";
    EXPECT_EQ(written(),
              line + kEraseOneLine + line + kEraseOneLine + "a.bin  0 B/4 KB (0.00%)  Done\n");
}

}  // namespace
}  // namespace rg
