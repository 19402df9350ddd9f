// The Montage against a real server: a fixture video opened through the controller's transfer
// environment, frames fetched by range requests into the download's own file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/controller.h"
#include "montage/media_session.h"
#include "montage/remote_media_backend.h"
#include "support/controller_harness.h"
#include "support/fault_http_server.h"
#include "support/recording_montage_view.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 60s;

std::string fixture_folder() {
    return (std::filesystem::path(RG_FIXTURE_DIR) / "video").string();
}

struct Span {
    std::int64_t start;
    std::int64_t end;  // exclusive
};

// "bytes=S-E" or "bytes=S-" of a file of `size` bytes.
std::optional<Span> parse_range(const std::string& value, std::int64_t size) {
    const std::string prefix = "bytes=";
    if (value.rfind(prefix, 0) != 0)
        return std::nullopt;
    const std::string range_text = value.substr(prefix.size());
    const auto dash = range_text.find('-');
    if (dash == std::string::npos || dash == 0)
        return std::nullopt;
    const std::int64_t start = std::stoll(range_text.substr(0, dash));
    const std::string last = range_text.substr(dash + 1);
    const std::int64_t end =
        last.empty() ? size : std::min<std::int64_t>(size, std::stoll(last) + 1);
    return Span{start, end};
}

class MontageSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok()) << server_.error();
        ASSERT_TRUE(h_.start());
        MediaSession::Hooks hooks;
        hooks.serve_messages = [this](std::chrono::milliseconds wait) {
            h_.controller->process_messages(wait);
        };
        session_ = std::make_unique<MediaSession>(view_, h_.controller->env(),
                                                  remote_media_backend(), std::move(hooks));
    }

    void TearDown() override { session_.reset(); }

    // Runs the controller until the session's worker has ended.
    bool wait_idle() {
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (!session_->wait_idle(10ms)) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            h_.controller->process_messages();
        }
        h_.controller->process_messages();
        return true;
    }

    DownloadList::ItemPtr add(const std::string& name) {
        return h_.add(server_.url("/files/" + name), name, true);
    }

    // The byte spans the server sent a body for, by GET request. The random-access test's single
    // byte is not kept by the client, so it is left out.
    std::vector<Span> served_spans(std::int64_t size) {
        std::vector<Span> spans;
        for (const std::string& head : server_.requests()) {
            if (head.rfind("GET ", 0) != 0)
                continue;
            const auto range = test::FaultHttpServer::header(head, "Range");
            if (!range) {
                spans.push_back({0, size});
                continue;
            }
            if (*range == "bytes=0-0")
                continue;
            const auto span = parse_range(*range, size);
            EXPECT_TRUE(span.has_value()) << *range;
            if (span)
                spans.push_back(*span);
        }
        return spans;
    }

    void expect_no_byte_twice(std::int64_t size) {
        std::vector<Span> spans = served_spans(size);
        ASSERT_FALSE(spans.empty());
        std::sort(spans.begin(), spans.end(),
                  [](const Span& a, const Span& b) { return a.start < b.start; });
        for (std::size_t i = 1; i < spans.size(); ++i) {
            EXPECT_LE(spans[i - 1].end, spans[i].start)
                << "[" << spans[i - 1].start << "," << spans[i - 1].end << ") and ["
                << spans[i].start << "," << spans[i].end << ")";
        }
    }

    // Every range the item records holds the server's bytes.
    void expect_ranges_match(DownloadItem& item, const std::string& original) {
        const std::string local = test::read_file(item.local_path());
        for (const ByteRange& r : item.lock()->ranges.items()) {
            ASSERT_LE(r.end(), static_cast<std::int64_t>(local.size()));
            EXPECT_EQ(local.substr(r.start, r.length), original.substr(r.start, r.length))
                << "range at " << r.start;
        }
    }

    test::FaultHttpServer server_{fixture_folder()};
    test::ControllerHarness h_;
    test::RecordingMontageView view_;
    std::unique_ptr<MediaSession> session_;
};

TEST_F(MontageSessionTest, FrameAndAutoMontageFetchOnlyMissingBytes) {
    const std::string original = test::read_file(fixture_folder() + "/xvid.avi");
    const auto size = static_cast<std::int64_t>(original.size());
    auto item = add("xvid.avi");

    session_->open(item, 1, false);
    ASSERT_TRUE(wait_idle());
    ASSERT_TRUE(session_->is_open()) << item->status_text();
    const auto info = view_.info();
    ASSERT_EQ(info.size(), 6u);
    EXPECT_EQ(info[0], "Dimensions: \t160*120");
    EXPECT_EQ(info[1], "FPS: 25.00 fps");
    EXPECT_EQ(info[2], "Length: 0:0:3 (3 sec)");
    EXPECT_EQ(info[3], "No. of Frames: 75");
    EXPECT_EQ(info[5], "FourCC: XVID");
    EXPECT_EQ(item->total_size(), size);
    EXPECT_EQ(item->state.load(), ItemState::MontageHeld);

    session_->start_get_frame("40");
    ASSERT_TRUE(wait_idle());
    ASSERT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({40}));
    const auto frame = view_.storyboard()[0].picture;
    EXPECT_EQ(frame.width, 160);
    EXPECT_EQ(frame.height, 120);
    EXPECT_EQ(view_.status().rfind("Frame 40 Extracted Successfully(", 0), 0u) << view_.status();
    EXPECT_LT(item->downloaded(), size);

    session_->close();
    EXPECT_EQ(item->state.load(), ItemState::Stopped);
    // The parenthesis holds the last stage text of the transfers.
    EXPECT_EQ(item->status_text().rfind("Media Closed (", 0), 0u) << item->status_text();

    // Again with the AutoMontage: the header and the frames fetched before come from the file.
    session_->open(item, 1, true);
    ASSERT_TRUE(wait_idle());
    EXPECT_EQ(view_.status(), "AutoMontage Finished");
    EXPECT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({40, 1, 26, 51}));
    session_->close();

    expect_no_byte_twice(size);
    expect_ranges_match(*item, original);
    EXPECT_TRUE(h_.host.message_list().empty());
}

TEST_F(MontageSessionTest, OnlyKeyFrameZeroGivesOnePicture) {
    const std::string original = test::read_file(fixture_folder() + "/keyframe0.avi");
    auto item = add("keyframe0.avi");
    session_->open(item, 1, true);
    ASSERT_TRUE(wait_idle());
    EXPECT_EQ(view_.status(), "AutoMontage Finished (Found only 1 Keyframes)");
    EXPECT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({1}));
    session_->close();
    expect_no_byte_twice(static_cast<std::int64_t>(original.size()));
    expect_ranges_match(*item, original);
}

TEST_F(MontageSessionTest, RunningDownloadIsTakenOverAndFinishedAfterTheClose) {
    const std::string original = test::read_file(fixture_folder() + "/mjpeg.avi");
    // The run stalls after its first bytes; the Montage and the restarted run use the plain URL.
    auto item = h_.add(server_.url("/files/mjpeg.avi?stall_after=4096"), "mjpeg.avi", true);
    h_.controller->start_download(*item, false);
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (item->downloaded() == 0 && std::chrono::steady_clock::now() < end)
        h_.controller->process_messages(10ms);
    ASSERT_GT(item->downloaded(), 0);
    item->lock()->set_url(server_.url("/files/mjpeg.avi"));

    session_->open(item, 1, false);
    ASSERT_TRUE(wait_idle());
    ASSERT_TRUE(session_->is_open()) << item->status_text();
    EXPECT_FALSE(item->worker_active.load());
    EXPECT_TRUE(item->restart_on_close.load());
    session_->start_get_frame("5");
    ASSERT_TRUE(wait_idle());
    EXPECT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({5}));

    h_.exited.clear();
    session_->close();
    while (!h_.exited.count(item.get()) && std::chrono::steady_clock::now() < end)
        h_.controller->process_messages(10ms);
    EXPECT_TRUE(h_.completed.count(item.get()));
    EXPECT_EQ(test::read_file(item->local_path()), original);
}

}  // namespace
}  // namespace rg
