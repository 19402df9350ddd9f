// The Montage against a real server: a fixture video opened through the controller's transfer
// environment, frames fetched by range requests into the download's own file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>

#include "engine/controller.h"
#include "montage/media_session.h"
#include "montage/remote_media_backend.h"
#include "support/controller_harness.h"
#include "support/fault_http_server.h"
#include "support/nginx_server.h"
#include "support/recording_montage_view.h"
#include "support/sparse_odml.h"
#include "support/temp_dir.h"
#include "unit/montage/media_file_fixture.h"

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

// The bytes of a file at [offset, offset + length); fewer at its end.
std::string bytes_at(const std::string& path, std::int64_t offset, std::int64_t length) {
    std::string out(static_cast<std::size_t>(length), '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const ssize_t got = ::pread(fd, out.data(), out.size(), offset);
    ::close(fd);
    out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return out;
}

// An OpenDML video of 4.5 GiB, sparse on disk, served by nginx: the Montage opens it, lists its
// header and shows a frame of its last gigabyte by fetching a few hundred KB, and every byte it
// fetched lies at its own offset of the download's file.
TEST(LargeMontageTest, AnOpenDmlVideoAboveFourGibibytesShowsFramesOfItsLastGigabyte) {
    constexpr std::int64_t kGiB = std::int64_t{1} << 30;
    constexpr std::int64_t kFetchLimit = 2 * 1024 * 1024;
    if (!test::NginxServer::available())
        GTEST_SKIP() << test::NginxServer::missing_message();
    test::NginxServer server;
    std::string why;
    const auto fixture = test::make_sparse_odml(server.root(), "large.avi", why);
    if (!fixture)
        GTEST_SKIP() << why;
    test::ControllerHarness h;
    ASSERT_TRUE(h.start());
    auto item = h.add(server.url("/large.avi"), "large.avi", true);
    if (!test::sparse_files_supported(h.out()))
        GTEST_SKIP() << "the download folder's file system keeps no sparse files";

    std::atomic<std::int64_t> fetched{0};
    MediaSession::Hooks hooks;
    hooks.serve_messages = [&h](std::chrono::milliseconds wait) {
        h.controller->process_messages(wait);
    };
    hooks.network.fetch_span = [&fetched, fetch = session_network(h.controller->env()).fetch_span](
                                   DownloadItem& fetching, std::int64_t start,
                                   std::int64_t length) {
        const std::int64_t got = fetch(fetching, start, length);
        fetched += std::max<std::int64_t>(got, 0);
        return got;
    };
    test::RecordingMontageView view;
    MediaSession session(view, h.controller->env(), remote_media_backend(), std::move(hooks));
    const auto wait_idle = [&] {
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (!session.wait_idle(10ms)) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            h.controller->process_messages();
        }
        h.controller->process_messages();
        return true;
    };

    session.open(item, 1, false);
    ASSERT_TRUE(wait_idle());
    ASSERT_TRUE(session.is_open()) << item->status_text();
    EXPECT_EQ(item->total_size(), fixture->size);
    const auto info = view.info();
    ASSERT_EQ(info.size(), 6u);
    EXPECT_EQ(info[0], "Dimensions: \t160*120");
    EXPECT_EQ(info[3], "No. of Frames: 10");
    EXPECT_EQ(info[5], "FourCC: MJPG");

    // Frame 9 lies in the last kilobytes, behind four RIFF lists of holes.
    session.start_get_frame("9");
    ASSERT_TRUE(wait_idle());
    ASSERT_EQ(view.storyboard_numbers(), std::vector<std::int32_t>({9}));
    EXPECT_EQ(view.status().rfind("Frame 9 Extracted Successfully(", 0), 0u) << view.status();
    const Picture picture = view.storyboard()[0].picture;
    const auto& reference =
        test::reference_frames(test::video_fixture("mjpeg.avi"), picture.width, picture.height);
    ASSERT_EQ(reference.size(), static_cast<std::size_t>(test::SparseOdml::kFrames));
    const test::PixelDifference d = test::compare_pixels(picture.rgb, reference[8]);
    EXPECT_LE(d.mean, 1.0);
    EXPECT_LE(d.largest, 48);
    session.close();
    EXPECT_EQ(item->state.load(), ItemState::Stopped);

    EXPECT_LT(fetched.load(), kFetchLimit);
    EXPECT_LT(item->downloaded(), kFetchLimit);
    bool last_gigabyte = false;
    for (const ByteRange& r : item->lock()->ranges.items()) {
        EXPECT_EQ(bytes_at(item->local_path(), r.start, r.length),
                  bytes_at(fixture->path, r.start, r.length))
            << "range at " << r.start;
        last_gigabyte = last_gigabyte || r.start >= fixture->size - kGiB;
    }
    EXPECT_TRUE(last_gigabyte);
    EXPECT_LT(test::allocated_bytes(item->local_path()), 4 * kFetchLimit);
    EXPECT_TRUE(h.host.message_list().empty());
}

}  // namespace
}  // namespace rg
