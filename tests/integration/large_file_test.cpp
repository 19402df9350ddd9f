// A 5 GiB file, sparse on both sides, resumed over HTTP (nginx) and FTP (pyftpdlib): only
// windows of a few MiB around 2 GiB and 4 GiB are missing, and they arrive byte-identical at their
// 64-bit offsets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/controller.h"
#include "engine/list_file.h"
#include "engine/transfer_worker.h"
#include "platform/data_dir.h"
#include "support/controller_harness.h"
#include "support/nginx_server.h"
#include "support/pyftpd_server.h"
#include "support/recording_host.h"
#include "support/rlg_process.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr std::int64_t kMiB = std::int64_t{1} << 20;
constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kFileSize = 5 * kGiB;
// Seeded bytes this far either side of 2 GiB and 4 GiB, and before the end; zeros elsewhere.
constexpr std::int64_t kDataReach = 4 * kMiB;
// What the download lacks either side of 2 GiB and 4 GiB.
constexpr std::int64_t kGapReach = 2 * kMiB;
// Slow enough that a pause lands inside the second window: 4 MiB take half a second.
constexpr const char* kRateLimit = "limit_rate 8m;";
// Room the test needs on disk although its files are sparse: the windows, twice, and a margin.
constexpr std::int64_t kDiskNeeded = 256 * kMiB;
// A file that takes more than this on disk is not sparse.
constexpr std::int64_t kMostSparseBlocks = 64 * kMiB;
constexpr auto kRunDeadline = std::chrono::seconds(120);
constexpr auto kPollPeriod = std::chrono::milliseconds(20);
// Bytes compared to tell that a download has reached an offset.
constexpr std::int64_t kProbeLength = 64;
// How rlg ends on an interrupt.
constexpr int kInterruptedExit = 130;

struct Window {
    std::int64_t start;
    std::int64_t length;
    std::int64_t end() const { return start + length; }
};

// Where the server's file holds bytes other than zero.
const std::vector<Window> kDataWindows = {{2 * kGiB - kDataReach, 2 * kDataReach},
                                          {4 * kGiB - kDataReach, 2 * kDataReach},
                                          {kFileSize - kDataReach, kDataReach}};

bool write_at(const std::string& path, std::int64_t offset, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok =
        ::pwrite(fd, bytes.data(), bytes.size(), offset) == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && ok;
}

std::string read_at(const std::string& path, const Window& w) {
    std::string bytes(static_cast<std::size_t>(w.length), '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const ssize_t n = ::pread(fd, bytes.data(), bytes.size(), w.start);
    ::close(fd);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

// FNV-1a, 64 bits: a checksum to compare windows by.
std::uint64_t checksum(std::string_view bytes) {
    constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t h = kOffsetBasis;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= kPrime;
    }
    return h;
}

std::int64_t disk_bytes(const std::string& path) {
    struct stat st {};
    constexpr std::int64_t kStatBlock = 512;
    return ::stat(path.c_str(), &st) == 0 ? std::int64_t{st.st_blocks} * kStatBlock : -1;
}

// The server's file: kFileSize bytes, sparse, with seeded bytes in kDataWindows. nullopt (with
// the reason) when the folder cannot hold it sparse.
std::optional<std::string> make_server_file(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(folder_of(path).c_str(), &fs) != 0 ||
        static_cast<std::int64_t>(fs.f_bavail) * static_cast<std::int64_t>(fs.f_frsize) <
            kDiskNeeded)
        return "less than 256 MiB free for the windows of the sparse files";
    test::write_file(path, "");
    if (::truncate(path.c_str(), kFileSize) != 0)
        return "the file system cannot hold a 5 GiB file";
    for (std::size_t i = 0; i < kDataWindows.size(); ++i) {
        const Window& w = kDataWindows[i];
        if (!write_at(path, w.start, test::random_bytes(static_cast<std::size_t>(w.length), i + 1)))
            return "cannot write the windows of the 5 GiB file";
    }
    if (disk_bytes(path) > kMostSparseBlocks)
        return "the file system does not keep sparse files";
    return std::nullopt;
}

// The ranges of a download that lacks `gaps` (ascending, inside the file).
std::vector<ByteRange> ranges_without(const std::vector<Window>& gaps) {
    std::vector<ByteRange> ranges;
    std::int64_t at = 0;
    for (const Window& g : gaps) {
        ranges.push_back({at, g.start - at});
        at = g.end();
    }
    ranges.push_back({at, kFileSize - at});
    return ranges;
}

// The local file as a download with `ranges` has it: sparse, with the server's bytes wherever
// the ranges hold data.
void prepare_local_file(const std::string& server_file, const std::string& path,
                        const std::vector<ByteRange>& ranges) {
    test::write_file(path, "");
    ASSERT_EQ(::truncate(path.c_str(), kFileSize), 0);
    for (const Window& w : kDataWindows) {
        for (const ByteRange& r : ranges) {
            const std::int64_t start = std::max(w.start, r.start);
            const std::int64_t end = std::min(w.end(), r.end());
            if (start < end) {
                ASSERT_TRUE(write_at(path, start, read_at(server_file, {start, end - start})));
            }
        }
    }
}

void give_ranges(DownloadItem& item, const std::vector<ByteRange>& ranges) {
    auto data = item.lock();
    data->ranges.assign(ranges);
    data->saved.range_count = static_cast<std::int32_t>(ranges.size());
    data->saved.downloaded = data->ranges.covered_bytes();
    data->saved.total_size = kFileSize;
}

void expect_same_windows(const std::string& server_file, const std::string& local_file) {
    EXPECT_EQ(test::file_size(local_file), kFileSize);
    for (const Window& w : kDataWindows) {
        EXPECT_EQ(checksum(read_at(local_file, w)), checksum(read_at(server_file, w)))
            << "the window at " << w.start;
    }
}

const std::vector<Window> kGaps = {{2 * kGiB - kGapReach, 2 * kGapReach},
                                   {4 * kGiB - kGapReach, 2 * kGapReach}};

class LargeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings().update([](Settings& s) {
            s.RetryDelay = 50;
            s.RetryCount = 3;
            s.RecieveTimeOut = 10000;
        });
        ASSERT_TRUE(h_.start());
    }

    SettingsStore& settings() { return h_.settings; }

    test::ControllerHarness h_;
    test::TempDir files_;
};

TEST_F(LargeFileTest, AFiveGiBDownloadStoppedInsideTheFourGiBWindowResumesByteIdentical) {
    if (!test::NginxServer::available())
        GTEST_SKIP() << test::NginxServer::missing_message();
    test::NginxServer server({.server_config = kRateLimit});
    const std::string served = server.root() + "/big.bin";
    if (const auto reason = make_server_file(served))
        GTEST_SKIP() << *reason;

    const std::vector<ByteRange> ranges = ranges_without(kGaps);
    auto item = h_.add(server.url("/big.bin"), "big.bin", true);
    prepare_local_file(served, item->local_path(), ranges);
    ASSERT_LT(disk_bytes(item->local_path()), kMostSparseBlocks);
    give_ranges(*item, ranges);
    const std::int64_t held = item->downloaded();

    // The first run gets the 2 GiB window and is paused inside the 4 GiB one.
    const std::int64_t pause_at = held + kGaps[0].length + kGaps[1].length / 4;
    bool paused = false;
    ASSERT_TRUE(h_.run(
        *item,
        [&] {
            if (!paused && item->downloaded() >= pause_at) {
                h_.controller->pause_item(h_.list.index_of(item.get()));
                paused = true;
            }
        },
        kRunDeadline));
    ASSERT_TRUE(paused) << item->status_text();
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_FALSE(h_.completed.count(item.get()));
    const std::int64_t first_run = item->downloaded() - held;
    EXPECT_GE(first_run, kGaps[0].length);
    EXPECT_LT(first_run, kGaps[0].length + kGaps[1].length);

    // A restart: a new item from what the list keeps of the old one.
    const ItemSnapshot kept = item->snapshot();
    const std::string validator = item->lock()->validator;
    ASSERT_TRUE(h_.list.remove_item(h_.list.index_of(item.get())));
    auto resumed = h_.add(server.url("/big.bin"), "big.bin", true);
    {
        auto data = resumed->lock();
        data->saved = kept.saved;
        data->ranges.assign(kept.ranges);
        data->validator = validator;
    }
    ASSERT_TRUE(h_.run(*resumed, {}, kRunDeadline)) << resumed->status_text();
    EXPECT_TRUE(h_.completed.count(resumed.get())) << resumed->status_text();
    EXPECT_EQ(resumed->downloaded(), kFileSize);
    expect_same_windows(served, resumed->local_path());
    // Only the gaps travelled: the local file stays sparse.
    EXPECT_LT(disk_bytes(resumed->local_path()), kMostSparseBlocks);
}

// rlg get stopped by `signal` once the 4 GiB window has begun to arrive, then run again on the
// list file to the end. An interrupted run saves the list with what arrived; a killed one leaves
// the list of its start.
void rlg_stopped_inside_the_window_finishes_the_file(const test::TempDir& files, int signal) {
    if (!test::NginxServer::available())
        GTEST_SKIP() << test::NginxServer::missing_message();
    test::NginxServer server({.server_config = kRateLimit});
    const std::string served = server.root() + "/big.bin";
    if (const auto reason = make_server_file(served))
        GTEST_SKIP() << *reason;

    const std::string data_dir = files.file("data");
    const std::string out_dir = files.file("out");
    ASSERT_EQ(::mkdir(data_dir.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(out_dir.c_str(), 0700), 0);
    const std::string local = out_dir + "/big.bin";
    const std::vector<ByteRange> ranges = ranges_without(kGaps);
    prepare_local_file(served, local, ranges);
    DownloadList list;
    {
        DownloadItem& item = list.append_item();
        {
            auto data = item.lock();
            data->set_url(server.url("/big.bin"));
            data->set_local_path(local);
            data->saved.resumable = 1;
        }
        give_ranges(item, ranges);
    }
    const std::string bytes = serialise_list(list);
    DownloadList reread;
    parse_list({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, reread);
    if (reread.count() != 1 || reread.item_at(0)->total_size() != kFileSize)
        GTEST_SKIP() << "the list file does not keep sizes of 2 GiB and more";
    test::RecordingHost host;
    {
        ListFile file(data_dir, host);
        ASSERT_EQ(file.open(), ListFile::OpenResult::Opened);
        ASSERT_TRUE(file.save(list));
    }

    const std::vector<std::string> args{"--data-dir",           data_dir, "get",
                                        server.url("/big.bin"), "-d",     out_dir};
    const Window window_start{kGaps[1].start, kProbeLength};
    const Window window_end{kGaps[1].end() - kProbeLength, kProbeLength};
    const std::string wanted_start = read_at(served, window_start);
    const pid_t first = test::start_rlg(args);
    ASSERT_GT(first, 0);
    const auto deadline = std::chrono::steady_clock::now() + kRunDeadline;
    while (read_at(local, window_start) != wanted_start) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(kPollPeriod);
    }
    ::kill(first, signal);
    EXPECT_EQ(test::wait_exit(first), signal == SIGKILL ? 128 + SIGKILL : kInterruptedExit);
    EXPECT_NE(read_at(local, window_end), read_at(served, window_end))
        << "the window was whole before the stop";
    if (signal != SIGKILL) {
        // The saved list goes on from inside the window.
        DownloadList saved;
        ListFile file(data_dir, host);
        ASSERT_EQ(file.open(), ListFile::OpenResult::Opened);
        ASSERT_TRUE(file.load(saved));
        ASSERT_EQ(saved.count(), 1);
        const auto data = saved.item_at(0)->lock();
        EXPECT_EQ(data->saved.total_size, kFileSize);
        const std::optional<SpanPlan> next = plan_first_missing_span(data->ranges, kFileSize);
        ASSERT_TRUE(next.has_value());
        EXPECT_GT(next->start, kGaps[1].start);
        EXPECT_LT(next->start, kGaps[1].end());
    }

    const pid_t second = test::start_rlg(args);
    ASSERT_GT(second, 0);
    EXPECT_EQ(test::wait_exit(second), 0);
    // The same item went on: no second file was made.
    EXPECT_EQ(test::file_size(out_dir + "/big (1).bin"), -1);
    expect_same_windows(served, local);
    EXPECT_LT(disk_bytes(local), kMostSparseBlocks);
}

TEST_F(LargeFileTest, RlgKilledInsideTheFourGiBWindowFinishesTheFileOnTheNextRun) {
    rlg_stopped_inside_the_window_finishes_the_file(files_, SIGKILL);
}

TEST_F(LargeFileTest, RlgInterruptedInsideTheFourGiBWindowGoesOnFromThereOnTheNextRun) {
    rlg_stopped_inside_the_window_finishes_the_file(files_, SIGINT);
}

TEST_F(LargeFileTest, AGapAboveFourGiBResumesOverFtp) {
    const std::string served = files_.file("big.bin");
    if (const auto reason = make_server_file(served))
        GTEST_SKIP() << *reason;
    test::PyftpdServer server({.root = files_.path()});
    if (server.missing())
        GTEST_SKIP() << server.error();
    ASSERT_TRUE(server.ok()) << server.error();

    const std::vector<Window> gap = {{4 * kGiB + kMiB, kGapReach}};
    const std::vector<ByteRange> ranges = ranges_without(gap);
    auto item = h_.add(server.url("/big.bin"), "big.bin", true);
    prepare_local_file(served, item->local_path(), ranges);
    give_ranges(*item, ranges);

    ASSERT_TRUE(h_.run(*item, {}, kRunDeadline)) << item->status_text();
    EXPECT_TRUE(h_.completed.count(item.get())) << item->status_text();
    expect_same_windows(served, item->local_path());
}

TEST_F(LargeFileTest, InfoShowsTheWholeSizeOfAFiveGiBFile) {
    if (!test::NginxServer::available())
        GTEST_SKIP() << test::NginxServer::missing_message();
    test::NginxServer server;
    const std::string served = server.root() + "/big.bin";
    if (const auto reason = make_server_file(served))
        GTEST_SKIP() << *reason;
    const std::string data_dir = files_.file("data");
    ASSERT_EQ(::mkdir(data_dir.c_str(), 0700), 0);
    const test::RlgResult info =
        test::run_rlg({"--data-dir", data_dir, "info", server.url("/big.bin")});
    EXPECT_EQ(info.exit_code, 0) << info.err;
    EXPECT_NE(info.out.find("Size:         5368709120 bytes (5120.0 MB)\n"), std::string::npos)
        << info.out;
}

}  // namespace
}  // namespace rg
