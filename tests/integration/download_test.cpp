// Whole downloads: the controller runs workers against the fault-injecting server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "download_fixture.h"
#include "engine/status_texts.h"
#include "settings/http_options.h"

namespace rg {
namespace {

using test::DownloadTest;

TEST_F(DownloadTest, CompletesByteIdenticalAndLeavesTheList) {
    auto item = add(server_.url("/gen/1000000"));
    ASSERT_TRUE(run(*item));
    EXPECT_TRUE(completed_.count(item.get()));
    EXPECT_EQ(list_.count(), 0);
    EXPECT_EQ(local(*item), test::generated_content(0, 1000000));
    EXPECT_EQ(range_headers(), std::vector<std::string>{"bytes=0-"});
    EXPECT_EQ(item->lock()->saved.resume_count, 1);
}

TEST_F(DownloadTest, DropsAreFollowedAtOnceByTheNextGap) {
    auto item = add(server_.url("/gen/1000000?drop_after=50000"));
    ASSERT_TRUE(run(*item));
    ASSERT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_EQ(local(*item), test::generated_content(0, 1000000));
    const auto ranges = range_headers();
    ASSERT_EQ(ranges.size(), 20u);
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        EXPECT_EQ(ranges[i], "bytes=" + std::to_string(i * 50000) + "-");
    }
    for (const auto& m : host_.message_list())
        ADD_FAILURE() << m.text;
}

TEST_F(DownloadTest, ServerThatNeverAnswersUsesUpTheRetries) {
    settings_.update([](Settings& s) {
        s.RecieveTimeOut = 200;
        s.RetryDelay = 300;
    });
    apply_settings();
    auto item = add(server_.url("/gen/1000?idle_before_headers=1"));
    std::vector<std::string> statuses;
    ASSERT_TRUE(run(*item, [&] {
        const std::string s = item->status_text();
        if (statuses.empty() || statuses.back() != s)
            statuses.push_back(s);
    }));
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_EQ(item->status_text(), "Passed Retry Count");
    std::vector<std::string> waits;
    for (const auto& s : statuses) {
        if (s.starts_with("Waiting"))
            waits.push_back(s);
    }
    EXPECT_EQ(waits, (std::vector<std::string>{"Waiting 0 seconds for retry no. 1",
                                               "Waiting 0 seconds for retry no. 2",
                                               "Waiting 0 seconds for retry no. 3"}));
    // RetryCount 3: one attempt and three retries.
    EXPECT_EQ(server_.stats().requests, 4);
    EXPECT_FALSE(completed_.count(item.get()));
    EXPECT_EQ(list_.count(), 1);
}

TEST_F(DownloadTest, WholeFileAnswerToAResumedRequestIsWrittenFromByteZero) {
    auto item = add(server_.url("/gen/100000?ignore_range=1"));
    test::write_file(item->local_path(), test::generated_content(0, 30000));
    {
        auto data = item->lock();
        data->ranges.assign({{0, 30000}});
        data->saved.range_count = 1;
        data->saved.downloaded = 30000;
        data->saved.total_size = 100000;
    }
    // The server serves no ranges: the user agrees to start over.
    host_.answers.push_back(MessageAnswer::Yes);
    ASSERT_TRUE(run(*item));
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_EQ(local(*item), test::generated_content(0, 100000));
}

TEST_F(DownloadTest, WrongContentRangeWritesNothing) {
    // The length fits the request; the range named does not.
    auto item = add(server_.url("/gen/100000?wrong_range=0-98999/100000"));
    test::write_file(item->local_path(), test::generated_content(0, 1000));
    {
        auto data = item->lock();
        data->ranges.assign({{0, 1000}});
        data->saved.range_count = 1;
        data->saved.total_size = 100000;
    }
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(item->status_text(), kWrongRangeText);
    EXPECT_EQ(local(*item), test::generated_content(0, 1000));
    EXPECT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, 1000}}));
}

TEST_F(DownloadTest, BadLengthsGiveAClearStatusAndNoBytes) {
    for (const char* bad : {"-5", "4294967296", "abc", "dup"}) {
        auto item =
            add(server_.url(std::string("/gen/5000?bad_length=") + bad), std::string("bad") + bad);
        ASSERT_TRUE(run(*item));
        EXPECT_EQ(item->state.load(), ItemState::Stopped) << bad;
        EXPECT_TRUE(item->status_text().starts_with("Error")) << bad << ": " << item->status_text();
        EXPECT_TRUE(item->snapshot().ranges.empty()) << bad;
    }
}

TEST_F(DownloadTest, RedirectRenamesToTheLastPathSegmentAndKeepsTheUrl) {
    const std::string target = server_.url("/gen/2000/file.avi") + "?x=1/2#frag";
    auto item = add(server_.url("/gen/10?redirect=") + target, "start.bin");
    ASSERT_TRUE(run(*item));
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
    // The fragment never reaches a server, nor the stored URL.
    EXPECT_EQ(item->url(), server_.url("/gen/2000/file.avi") + "?x=1/2");
    EXPECT_EQ(item->file_name(), "file.avi");
    EXPECT_EQ(test::read_file(out_ + "/file.avi"), test::generated_content(0, 2000));
    EXPECT_FALSE(std::filesystem::exists(out_ + "/start.bin"));
}

TEST_F(DownloadTest, HostileServerNamesStayInsideTheFolder) {
    // A planted link and an existing file must survive whatever the server says.
    std::filesystem::create_symlink("/etc/hostname", out_ + "/passwd");
    test::write_file(out_ + "/keep.txt", "precious");
    const char* names[] = {"../../x", "/etc/passwd", "a\\\\b",    "..",
                           ".bashrc", "keep.txt",    "tab%09name"};
    int n = 0;
    for (const char* name : names) {
        const std::string file = "f" + std::to_string(n++);
        auto item = add(
            server_.url("/gen/100?disposition=attachment;%20filename=%22") + name + "%22", file);
        ASSERT_TRUE(run(*item));
        const std::string path = item->local_path();
        EXPECT_EQ(path.rfind(out_ + "/", 0), 0u) << name << " -> " << path;
        EXPECT_EQ(path.find("/..", out_.size()), std::string::npos) << path;
    }
    EXPECT_EQ(test::read_file(out_ + "/keep.txt"), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(out_ + "/passwd"));
    EXPECT_TRUE(std::filesystem::exists(out_ + "/x"));
    EXPECT_TRUE(std::filesystem::exists(out_ + "/bashrc"));
    // A name that cannot be used keeps the file where it was.
    EXPECT_TRUE(std::filesystem::exists(out_ + "/f3"));
}

TEST_F(DownloadTest, UnauthorizedUsesTheStoredPasswordThenAsks) {
    auto item = add(server_.url("/gen/3000?auth=joe:secret"));
    ASSERT_EQ(passwords_.add({"127.0.0.1", "joe", "secret"}), SitePasswordError::kNone);
    ASSERT_TRUE(run(*item));
    EXPECT_TRUE(completed_.count(item.get())) << item->status_text();
    EXPECT_TRUE(host_.credential_urls.empty());

    // No stored entry matches: the user is asked, and a wrong answer ends the run.
    passwords_.forget(0);
    exited_.clear();
    auto second = add(server_.url("/gen/3000?auth=ann:pw"), "second.bin");
    host_.credentials.push_back({"ann", "wrong", false});
    ASSERT_TRUE(run(*second));
    EXPECT_EQ(host_.credential_urls.size(), 1u);
    EXPECT_EQ(second->state.load(), ItemState::Stopped);
    EXPECT_TRUE(second->status_text().starts_with("401")) << second->status_text();
}

TEST_F(DownloadTest, StopDuringAStalledReadKeepsTheBytesAndSendsNoCompletion) {
    auto item = add(server_.url("/gen/100000?stall_after=40000"));
    bool stopped = false;
    ASSERT_TRUE(run(*item, [&] {
        if (!stopped && item->downloaded() == 40000) {
            stop_item(*item, controller_->env());
            stopped = true;
        }
    }));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_FALSE(completed_.count(item.get()));
    EXPECT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, 40000}}));
    EXPECT_EQ(local(*item), test::generated_content(0, 40000));
}

TEST_F(DownloadTest, StalledReadIsStoppedByTheReceiveTimeOut) {
    settings_.update([](Settings& s) { s.RecieveTimeOut = 1500; });
    // The client's own read limit stays long, so the controller's check is what ends it.
    http_.set_options([&] {
        auto o = http_session_options(settings_.snapshot(), "");
        o.receive_timeout_ms = 60000;
        return o;
    }());
    auto item = add(server_.url("/gen/100000?stall_after=1000"));
    ASSERT_TRUE(run(*item));
    EXPECT_EQ(item->status_text(), "Recieve TimeOut");
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    EXPECT_EQ(item->snapshot().ranges, (std::vector<ByteRange>{{0, 1000}}));
}

}  // namespace
}  // namespace rg
