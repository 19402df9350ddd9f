// A process killed at any moment of a save leaves a list that loads whole: the old one or the new.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "engine/list_file.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr int kItems = 1000;
constexpr int kKills = 200;

void fill(DownloadList& list, int generation) {
    list.clear();
    for (int i = 0; i < kItems; ++i) {
        DownloadItem& item = list.append_item();
        auto data = item.lock();
        data->set_url("http://h/g" + std::to_string(generation) + "/" + std::to_string(i));
        data->set_local_path("/d/" + std::to_string(i));
        data->saved.resumable = 1;
        data->saved.total_size = 1 << 20;
        data->ranges.assign({{0, 10 + generation % 900}, {1000, i + 1}});
        data->saved.range_count = 2;
    }
}

// Saves new generations until killed, writing a byte to `progress` after each save.
[[noreturn]] void save_forever(const std::string& folder, int first_generation, int progress) {
    test::RecordingHost host;
    ListFile file(folder, host);
    if (file.open() != ListFile::OpenResult::Opened)
        _exit(2);
    DownloadList list;
    for (int g = first_generation;; ++g) {
        fill(list, g);
        if (!file.save(list))
            _exit(3);
        const char saved = 1;
        if (::write(progress, &saved, 1) != 1)
            _exit(4);
    }
}

int generation_of(const DownloadItem& item) {
    const std::string url = item.url();
    const auto at = url.find("/g") + 2;
    return std::stoi(url.substr(at, url.find('/', at) - at));
}

TEST(ListCrash, KilledSaverLeavesAWholeList) {
    test::TempDir dir;
    {
        test::RecordingHost host;
        ListFile file(dir.path(), host);
        ASSERT_EQ(file.open(), ListFile::OpenResult::Opened);
        DownloadList list;
        fill(list, 0);
        ASSERT_TRUE(file.save(list));
    }

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delay_us(0, 100000);
    int newer = 0;
    for (int round = 0; round < kKills; ++round) {
        int pipe_fds[2];
        ASSERT_EQ(::pipe(pipe_fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipe_fds[0]);
            save_forever(dir.path(), (round + 1) * 1000, pipe_fds[1]);
        }
        ::close(pipe_fds[1]);
        // Every other round waits for one finished save first, so that the kill lands in a later
        // save whatever the machine's speed; the others kill at any moment from the start.
        if (round % 2 == 1) {
            char saved = 0;
            ASSERT_EQ(::read(pipe_fds[0], &saved, 1), 1);
            std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random) / 5));
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(pipe_fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status))
            << "saver ended by itself with " << WEXITSTATUS(status) << " in round " << round;

        test::RecordingHost host;
        ListFile file(dir.path(), host);
        ASSERT_EQ(file.open(), ListFile::OpenResult::Opened);
        DownloadList loaded;
        ASSERT_TRUE(file.load(loaded)) << "round " << round;
        ASSERT_EQ(loaded.count(), kItems) << "round " << round;
        const int generation = generation_of(*loaded.item_at(0));
        for (int i = 0; i < kItems; i += 97) {
            const DownloadItem& item = *loaded.item_at(i);
            ASSERT_EQ(generation_of(item), generation);
            ASSERT_EQ(item.snapshot().ranges,
                      (std::vector<ByteRange>{{0, 10 + generation % 900}, {1000, i + 1}}));
        }
        if (generation >= (round + 1) * 1000)
            ++newer;
        EXPECT_TRUE(host.messages.empty());
    }
    EXPECT_GE(newer, kKills / 2);
}

}  // namespace
}  // namespace rg
