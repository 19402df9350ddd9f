// The list commands of rlg (add, list, start, pause, cancel, run) against a local nginx.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/legacy_list.h"
#include "support/nginx_server.h"
#include "support/rlg_process.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using namespace std::chrono_literals;

// Nothing listens there: adding never connects.
constexpr const char* kQuietHost = "http://127.0.0.1:9";
constexpr const char* kBadSchemeText =
    "Invalid Protocol, only HTTP, FTP protocols are allowed for now!";
constexpr const char* kInUseText = "is in use by another Reelgrab";
constexpr int kExitInterrupted = 130;
// Slow enough that a download is still running a few seconds after it began.
constexpr const char* kSlowServer = "limit_rate 256k;";
constexpr std::size_t kSlowFileSize = 8u << 20;
constexpr auto kProgressWait = 30s;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A progress line that shows bytes arrived ("256 KB/8.0 MB (3.13%)").
bool shows_bytes(const std::string& line) {
    return contains(line, " KB/") || contains(line, " MB/");
}

class RlgCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override { ::mkdir(data_.c_str(), 0700); }

    test::RlgResult rlg(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--data-dir", data_});
        return test::run_rlg(args);
    }
    std::vector<std::string> with_data(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--data-dir", data_});
        return args;
    }
    std::vector<std::string> list_lines() const { return lines_of(rlg({"list"}).out); }
    void set_concurrent_downloads(int count) const {
        test::write_file(data_ + "/rlg.ini",
                         "[General]\nConcurrentDownloads=" + std::to_string(count) + "\n");
    }
    // Waits until the running tool reports bytes of a download.
    static bool await_bytes(test::BackgroundRlg& tool) {
        const auto deadline = std::chrono::steady_clock::now() + kProgressWait;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto line = tool.read_line(kProgressWait);
            if (!line)
                return false;
            if (shows_bytes(*line))
                return true;
        }
        return false;
    }

    test::TempDir dir_;
    std::string data_ = dir_.file("data");
    std::string out_ = dir_.file("out");
};

class RlgServedTest : public RlgCommandsTest {
  protected:
    void SetUp() override {
        if (!test::NginxServer::available())
            GTEST_SKIP() << test::NginxServer::missing_message();
        RlgCommandsTest::SetUp();
    }
};

// --- add and list ---

TEST_F(RlgCommandsTest, AddExpandsAPatternAndListShowsTheRowsInOrder) {
    const auto added = rlg({"add", std::string(kQuietHost) + "/img[8-11,2].jpg", "-d", out_});
    EXPECT_EQ(added.exit_code, 0) << added.err;
    EXPECT_EQ(lines_of(added.out).size(), 4u) << added.out;
    EXPECT_TRUE(contains(added.out, "/img08.jpg -> " + out_ + "/img08.jpg")) << added.out;

    const auto listed = rlg({"list"});
    EXPECT_EQ(listed.exit_code, 0);
    const auto lines = lines_of(listed.out);
    ASSERT_EQ(lines.size(), 4u) << listed.out;
    const char* names[] = {"img08.jpg", "img09.jpg", "img10.jpg", "img11.jpg"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_EQ(line.find(std::to_string(i + 1) + "  " + names[i]), line.find_first_not_of(' '))
            << line;
        EXPECT_TRUE(contains(line, "stopped")) << line;
        EXPECT_TRUE(contains(line, "0 B/0 B (0.00%)")) << line;
        EXPECT_TRUE(contains(line, "0.00 Kb/s")) << line;
        EXPECT_TRUE(contains(line, "Idle")) << line;
        EXPECT_EQ(test::file_size(out_ + "/" + names[i]), 0) << names[i];
    }
}

TEST_F(RlgCommandsTest, ADamagedListLosesNoRowThatWasRead) {
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        ASSERT_EQ(rlg({"add", std::string(kQuietHost) + "/" + name, "-d", out_}).exit_code, 0);
    const std::string list = data_ + "/RGList.rgl";
    const std::string saved = test::read_file(list);
    const std::string whole = saved.substr(0, test::legacy_part_size(saved));
    const std::string cut = whole.substr(0, whole.size() - 3);
    test::write_file(list, cut);

    const auto first = rlg({"list"});
    EXPECT_TRUE(contains(first.err, "Error Occured while processing DlList file")) << first.err;
    EXPECT_EQ(lines_of(first.out).size(), 2u) << first.out;
    EXPECT_EQ(test::read_file(list + ".unreadable"), cut);

    // The rows read were saved at once: the next commands find them, without a message.
    const auto second = rlg({"list"});
    EXPECT_EQ(second.err, "");
    const auto lines = lines_of(second.out);
    ASSERT_EQ(lines.size(), 2u) << second.out;
    EXPECT_TRUE(contains(lines[0], "a.bin")) << lines[0];
    EXPECT_TRUE(contains(lines[1], "b.bin")) << lines[1];
    ASSERT_EQ(rlg({"add", std::string(kQuietHost) + "/d.bin", "-d", out_}).exit_code, 0);
    EXPECT_EQ(list_lines().size(), 3u);

    // Random bytes are said once too, and the list is usable again after.
    test::write_file(list, test::random_bytes(4000));
    EXPECT_TRUE(contains(rlg({"list"}).err, "Error Occured while processing DlList file"));
    const auto after = rlg({"list"});
    EXPECT_EQ(after.err, "");
    EXPECT_TRUE(contains(after.out, "The download list is empty.")) << after.out;
}

TEST_F(RlgCommandsTest, AddNumbersAnExistingFileAndKeepsTheScheduleFlag) {
    ::mkdir(out_.c_str(), 0700);
    test::write_file(out_ + "/a.bin", "mine");
    const auto added =
        rlg({"add", std::string(kQuietHost) + "/a.bin", "-d", out_, "--not-scheduled"});
    EXPECT_EQ(added.exit_code, 0) << added.err;
    EXPECT_TRUE(contains(added.out, "-> " + out_ + "/a (1).bin")) << added.out;
    EXPECT_EQ(test::read_file(out_ + "/a.bin"), "mine");

    const auto listed = rlg({"list", "--long"});
    EXPECT_TRUE(contains(listed.out, "a (1).bin")) << listed.out;
    EXPECT_TRUE(contains(listed.out, "Scheduled: no")) << listed.out;
    EXPECT_TRUE(contains(listed.out, "URL: " + std::string(kQuietHost) + "/a.bin")) << listed.out;
}

TEST_F(RlgCommandsTest, AddRefusesABadSchemeAndADuplicateWithTheirMessages) {
    const auto refused = rlg({"add", "gopher://host/file", "-d", out_});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_TRUE(contains(refused.err, kBadSchemeText)) << refused.err;
    // The refusal is reported once, on the URL's own line.
    EXPECT_EQ(lines_of(refused.err).size(), 1u) << refused.err;
    EXPECT_EQ(rlg({"list"}).out, "The download list is empty.\n");

    // One URL of several refused: the others are added, the exit code says not all were.
    const std::string url = std::string(kQuietHost) + "/one.bin";
    const auto mixed = rlg({"add", url, "ftp:/nohost", "-d", out_});
    EXPECT_EQ(mixed.exit_code, 1);
    EXPECT_EQ(list_lines().size(), 1u);

    const auto again = rlg({"add", url, "-d", out_});
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_TRUE(contains(again.err, "Url is already in the List.")) << again.err;
    EXPECT_EQ(list_lines().size(), 1u);
}

TEST_F(RlgCommandsTest, UsageErrorsChangeNothing) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"add"},
          {"add", "http://h/x", "--password", "p", "-d", out_},
          {"list", "extra"},
          {"start"},
          {"cancel", "0"},
          {"cancel", "99999999999"},
          {"pause", "--delete", "1"}}) {
        EXPECT_EQ(rlg(args).exit_code, 2) << args[0];
    }
    EXPECT_EQ(test::file_size(out_), -1);
    EXPECT_EQ(test::file_size(data_ + "/RGList.rgl"), -1);
}

// --- pause and cancel of stopped rows ---

TEST_F(RlgCommandsTest, RowCommandsCheckTheRowsAndActOnStoppedItems) {
    ASSERT_EQ(rlg({"add", std::string(kQuietHost) + "/r[1-3].bin", "-d", out_}).exit_code, 0);

    const auto outside = rlg({"cancel", "2", "4"});
    EXPECT_EQ(outside.exit_code, 1);
    EXPECT_TRUE(contains(outside.err, "there is no row 4")) << outside.err;
    EXPECT_EQ(list_lines().size(), 3u);

    const auto paused = rlg({"pause", "1"});
    EXPECT_EQ(paused.exit_code, 0);
    EXPECT_TRUE(contains(paused.out, "row 1 (r1.bin) is not running: nothing to pause"))
        << paused.out;

    // Without --delete the files stay; the rows after a cancelled one move up.
    const auto kept = rlg({"cancel", "3", "1", "3"});
    EXPECT_EQ(kept.exit_code, 0) << kept.err;
    EXPECT_TRUE(contains(kept.out, "cancelled row 1 (r1.bin), file kept")) << kept.out;
    EXPECT_TRUE(contains(kept.out, "cancelled row 3 (r3.bin), file kept")) << kept.out;
    EXPECT_EQ(test::file_size(out_ + "/r1.bin"), 0);
    EXPECT_EQ(test::file_size(out_ + "/r3.bin"), 0);
    const auto lines = list_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(contains(lines[0], "1  r2.bin")) << lines[0];
}

TEST_F(RlgCommandsTest, CancelDeleteDeletesTheFilesAlsoWithTheCancelPromptOff) {
    // Without the question the GUI keeps the files; the option still decides here.
    test::write_file(data_ + "/rlg.ini", "[General]\nCancelPrompt=0\n");
    ASSERT_EQ(rlg({"add", std::string(kQuietHost) + "/c[1-2].bin", "-d", out_}).exit_code, 0);
    const auto deleted = rlg({"cancel", "--delete", "2"});
    EXPECT_EQ(deleted.exit_code, 0) << deleted.err;
    EXPECT_EQ(test::file_size(out_ + "/c2.bin"), -1);
    const auto kept = rlg({"cancel", "1"});
    EXPECT_EQ(kept.exit_code, 0) << kept.err;
    EXPECT_EQ(test::file_size(out_ + "/c1.bin"), 0);
    EXPECT_EQ(rlg({"list"}).out, "The download list is empty.\n");
}

// --- run and start against a server ---

TEST_F(RlgServedTest, RunDownloadsTheScheduledItemsAndEmptiesTheList) {
    test::NginxServer nginx;
    const std::string files[] = {test::random_bytes(300 * 1024, 1), test::random_bytes(1 << 20, 2),
                                 test::random_bytes(77777, 3)};
    for (int i = 0; i < 3; ++i)
        test::write_file(nginx.root() + "/f" + std::to_string(i + 1) + ".bin", files[i]);
    set_concurrent_downloads(2);
    ASSERT_EQ(rlg({"add", nginx.url("/f[1-3].bin"), "-d", out_}).exit_code, 0);

    const auto run = rlg({"run"});
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "f" + std::to_string(i + 1) + ".bin";
        EXPECT_TRUE(test::read_file(out_ + "/" + name) == files[i]) << name;
        EXPECT_TRUE(contains(run.out, name + "  ")) << run.out;
    }
    EXPECT_EQ(rlg({"list"}).out, "The download list is empty.\n");

    // Nothing scheduled is left: a second run has nothing to do.
    const auto idle = rlg({"run"});
    EXPECT_EQ(idle.exit_code, 0);
    EXPECT_TRUE(contains(idle.out, "No scheduled download is waiting.")) << idle.out;
}

TEST_F(RlgServedTest, RunKeepsAFailedItemAndLeavesUnscheduledOnesAlone) {
    test::NginxServer nginx;
    const std::string content = test::random_bytes(4096, 5);
    test::write_file(nginx.root() + "/good.bin", content);
    ASSERT_EQ(rlg({"add", nginx.url("/good.bin"), nginx.url("/missing.bin"), "-d", out_}).exit_code,
              0);
    ASSERT_EQ(rlg({"add", nginx.url("/later.bin"), "-d", out_, "--not-scheduled"}).exit_code, 0);

    const auto run = rlg({"run"});
    EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
    EXPECT_TRUE(contains(run.out, "missing.bin")) << run.out;
    EXPECT_TRUE(contains(run.out, "404")) << run.out;
    EXPECT_TRUE(test::read_file(out_ + "/good.bin") == content);
    const auto lines = list_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(contains(lines[0], "missing.bin")) << lines[0];
    EXPECT_TRUE(contains(lines[1], "later.bin")) << lines[1];
    EXPECT_TRUE(contains(lines[1], "0 B/0 B (0.00%)")) << lines[1];
}

TEST_F(RlgServedTest, StartRunsOnlyTheGivenRows) {
    test::NginxServer nginx;
    const std::string content = test::random_bytes(200000, 6);
    test::write_file(nginx.root() + "/b.bin", content);
    ASSERT_EQ(rlg({"add", nginx.url("/a.bin"), nginx.url("/b.bin"), "-d", out_}).exit_code, 0);

    const auto started = rlg({"start", "2"});
    EXPECT_EQ(started.exit_code, 0) << started.out << started.err;
    EXPECT_TRUE(contains(started.out, "b.bin  195 KB/195 KB (100.00%)  Done")) << started.out;
    EXPECT_TRUE(test::read_file(out_ + "/b.bin") == content);
    const auto lines = list_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(contains(lines[0], "a.bin")) << lines[0];
}

TEST_F(RlgServedTest, WhileOneRlgHoldsTheListAnotherIsRefused) {
    test::NginxServer nginx({.server_config = kSlowServer});
    test::write_file(nginx.root() + "/slow.bin", test::random_bytes(kSlowFileSize, 7));
    ASSERT_EQ(rlg({"add", nginx.url("/slow.bin"), "-d", out_}).exit_code, 0);

    test::BackgroundRlg holder(with_data({"run"}));
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(await_bytes(holder));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list"},
                                                 {"add", nginx.url("/other.bin"), "-d", out_},
                                                 {"cancel", "1"},
                                                 {"run"}}) {
        const auto second = rlg(args);
        EXPECT_EQ(second.exit_code, 1) << args[0];
        EXPECT_TRUE(contains(second.err, kInUseText)) << args[0] << ": " << second.err;
    }

    // Ctrl+C pauses the download and saves its ranges.
    ASSERT_TRUE(holder.signal(SIGINT));
    EXPECT_EQ(holder.wait(), kExitInterrupted);
    const auto lines = list_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(shows_bytes(lines[0])) << lines[0];
    EXPECT_GT(test::file_size(out_ + "/slow.bin"), 0);
}

TEST_F(RlgServedTest, CancelDeleteRemovesAPartlyDownloadedRowAndItsFile) {
    test::NginxServer nginx({.server_config = kSlowServer});
    test::write_file(nginx.root() + "/part.bin", test::random_bytes(kSlowFileSize, 8));
    test::write_file(nginx.root() + "/keep.bin", "kept");
    ASSERT_EQ(rlg({"add", nginx.url("/keep.bin"), nginx.url("/part.bin"), "-d", out_}).exit_code,
              0);
    {
        test::BackgroundRlg tool(with_data({"start", "2"}));
        ASSERT_TRUE(tool.started());
        ASSERT_TRUE(await_bytes(tool));
        ASSERT_TRUE(tool.signal(SIGINT));
        EXPECT_EQ(tool.wait(), kExitInterrupted);
    }
    const std::string path = out_ + "/part.bin";
    const std::int64_t partial = test::file_size(path);
    EXPECT_GT(partial, 0);
    EXPECT_LT(partial, static_cast<std::int64_t>(kSlowFileSize));
    const auto paused = list_lines();
    ASSERT_EQ(paused.size(), 2u);
    EXPECT_TRUE(shows_bytes(paused[1])) << paused[1];

    const auto cancelled = rlg({"cancel", "--delete", "2"});
    EXPECT_EQ(cancelled.exit_code, 0) << cancelled.err;
    EXPECT_TRUE(contains(cancelled.out, "cancelled row 2 (part.bin), file deleted"))
        << cancelled.out;
    EXPECT_EQ(test::file_size(path), -1);
    const auto lines = list_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(contains(lines[0], "keep.bin")) << lines[0];
    EXPECT_EQ(test::file_size(out_ + "/keep.bin"), 0);
}

}  // namespace
}  // namespace rg
