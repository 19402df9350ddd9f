#include "montage/media_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fake_media.h"
#include "montage/media_info.h"
#include "montage/montage_format.h"
#include "support/recording_host.h"
#include "support/recording_montage_view.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 10s;
constexpr std::int32_t kServerSize = 1000000;

TEST(ByteCountTexts, EveryPlaceTakesItsValueInFull) {
    EXPECT_EQ(format_byte_counts("Downloading %u bytes [%u-%u]", {16, 0, 16}),
              "Downloading 16 bytes [0-16]");
    EXPECT_EQ(format_byte_counts("[%u-%u]", {std::int64_t{1} << 32, (std::int64_t{1} << 62)}),
              "[4294967296-4611686018427387904]");
    // Too few values: the rest of the text stays as it is.
    EXPECT_EQ(format_byte_counts("%u of %u%%", {7}), "7 of %u%%");
}

TEST(DownloadAmount, BytesKilobytesMegabytes) {
    EXPECT_EQ(with_download_amount("Downloading Media Info: ", 0),
              "Downloading Media Info: (0 B downloaded)");
    EXPECT_EQ(with_download_amount("P", 1023), "P(1023 B downloaded)");
    EXPECT_EQ(with_download_amount("P", 1024), "P(1.00 KB downloaded)");
    EXPECT_EQ(with_download_amount("Downloading Media Info: ", 12288),
              "Downloading Media Info: (12.00 KB downloaded)");
    EXPECT_EQ(with_download_amount("Frame 5 Extracted Successfully", 3584),
              "Frame 5 Extracted Successfully(3.50 KB downloaded)");
    EXPECT_EQ(with_download_amount("P", 1023 * 1024), "P(1023.00 KB downloaded)");
    EXPECT_EQ(with_download_amount("P", 1023 * 1024 + 1), "P(1.00 MB downloaded)");
    EXPECT_EQ(with_download_amount("P", 5 * 1024 * 1024 + 512 * 1024), "P(5.50 MB downloaded)");
}

TEST(MediaInfoLines, RateLengthCodecAndFourcc) {
    MediaHeader h{640, 480, 30000, 1001, 1800, "DIVX"};
    EXPECT_EQ(media_info_lines(h, CodecStatus::Found, "DivX Codec"),
              std::vector<std::string>({"Dimensions: \t640*480", "FPS: 29.97 fps",
                                        "Length: 0:1:0 (60 sec)", "No. of Frames: 1800",
                                        "Codec: DivX Codec", "FourCC: DIVX"}));
    h.rate = 25;
    h.scale = 1;
    EXPECT_EQ(media_info_lines(h, CodecStatus::Found, "")[2], "Length: 0:1:12 (72 sec)");
    h.frame_count = 90000;
    EXPECT_EQ(media_info_lines(h, CodecStatus::Found, "")[2], "Length: 1:0:0 (3600 sec)");
    h.frame_count = 7675;
    EXPECT_EQ(media_info_lines(h, CodecStatus::Found, "")[2], "Length: 0:5:7 (307 sec)");

    h.scale = 0;  // a header without a rate
    h.fourcc = std::string("MJ\0G", 4);
    const auto lines = media_info_lines(h, CodecStatus::NotFound, "ignored");
    EXPECT_EQ(lines[1], "FPS: 0.00 fps");
    EXPECT_EQ(lines[2], "Length: 0:0:0 (0 sec)");
    EXPECT_EQ(lines[4], "Codec: <Not Found>");
    EXPECT_EQ(lines[5], "FourCC: MJ");
    EXPECT_EQ(media_info_lines(h, CodecStatus::Found, std::string(300, 'c'))[4].size(),
              7u + kCodecNameLimit);
}

// The download's file as the demuxer sees it: every read is fetched first.
class FakeReader : public VirtualFile {
  public:
    FakeReader(DownloadItem& item, SpanFetcher fetch) : item_(item), fetch_(std::move(fetch)) {}
    std::int64_t size() override { return item_.total_size(); }
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override {
        const std::int64_t base = origin == SeekOrigin::End       ? size()
                                  : origin == SeekOrigin::Current ? position_
                                                                  : 0;
        return position_ = base + offset;
    }
    std::int32_t read(std::uint8_t*, std::int32_t count) override {
        if (item_.montage_abort.load())
            return 0;
        if (fetch_(position_, count) < count) {
            item_.montage_abort = true;
            return 0;
        }
        position_ += count;
        return count;
    }

  private:
    DownloadItem& item_;
    SpanFetcher fetch_;
    std::int64_t position_ = 0;
};

class MediaSessionTest : public ::testing::Test {
  protected:
    DownloadList::ItemPtr add(const std::string& name, ItemState state = ItemState::Stopped,
                              std::int64_t total_size = 0, std::int32_t resumable = 1,
                              const std::string& scheme = "http") {
        DownloadItem& item = list_.append_item();
        const std::string url = scheme + "://example.test/" + name;
        {
            auto data = item.lock();
            data->set_url(url);
            data->set_local_path(dir_.file(name));
            data->saved.resumable = resumable;
            data->saved.total_size = total_size;
        }
        item.connection.protocol = protocol_for_url(url);
        item.state = state;
        return list_.shared_at(list_.count() - 1);
    }

    MediaSession& session() {
        if (!session_) {
            MediaSession::Hooks hooks;
            hooks.network = network();
            hooks.serve_messages = [this](std::chrono::milliseconds) {
                ++serves_;
                for (const auto& item : list_)
                    item->worker_active = false;
            };
            session_ = std::make_unique<MediaSession>(view_, env_, backend(), std::move(hooks));
        }
        return *session_;
    }

    SessionNetwork network() {
        SessionNetwork n;
        n.probe = [this](DownloadItem& item, bool& named) {
            ++probes_;
            item.connection.content_length = server_size_;
            item.connection.set_response_text("404: Not Found");
            if (!server_name_.empty()) {
                item.connection.set_server_file_name(server_name_);
                named = true;
            }
            return probe_ok_ ? 1 : 0;
        };
        n.test_random_access = [this](DownloadItem& item) {
            ++random_tests_;
            item.connection.resumable = ranges_ ? 1 : 0;
            return RangeTestAnswer{true, 0};
        };
        n.fetch_span = [](DownloadItem& item, std::int64_t start, std::int64_t length) {
            // What span_fetch reports for a held item.
            if (item.state.load() == ItemState::MontageHeld) {
                item.range_hook(start, length);
                item.progress_hook(length, length, length);
            }
            return length;
        };
        return n;
    }

    MediaBackend backend() {
        MediaBackend b;
        b.open_reader = [this](DownloadItem& item, SpanFetcher fetch, ReaderSettings) {
            if (bytes_present_)
                fetch = [](std::int64_t, std::int64_t length) { return length; };
            return std::make_unique<FakeReader>(item, std::move(fetch));
        };
        b.open_media = [this](VirtualFile& file, const MediaOpenOptions& options,
                              MediaOpenResult& result) -> std::unique_ptr<MediaFile> {
            any_format_ = options.any_format;
            if (before_open_)
                before_open_(file);
            std::uint8_t header[16];
            if (file.read(header, sizeof header) != sizeof header) {
                result = MediaOpenResult::OpenFailed;
                return nullptr;
            }
            result = open_result_;
            if (result != MediaOpenResult::Ok)
                return nullptr;
            return std::make_unique<test::FakeMediaFile>(video_);
        };
        return b;
    }

    // Opens and waits for the open thread to end.
    void open(const DownloadList::ItemPtr& item, bool auto_montage = false) {
        session().open(item, 1, auto_montage);
        ASSERT_TRUE(session().wait_idle(kWait));
    }
    void get_frame(std::string_view entry) {
        session().start_get_frame(entry);
        ASSERT_TRUE(session().wait_idle(kWait));
    }

    // The pane and the item after a close.
    void expect_closed(const DownloadItem& item, const std::string& status_text) {
        EXPECT_FALSE(session().is_open());
        EXPECT_EQ(session().current_item(), nullptr);
        EXPECT_EQ(item.state.load(), ItemState::Stopped);
        EXPECT_EQ(item.status_text(), status_text);
        EXPECT_EQ(view_.status(), "Media Closed");
        EXPECT_TRUE(view_.info().empty());
        EXPECT_FALSE(view_.close_enabled());
        EXPECT_FALSE(view_.get_frame_enabled());
    }

    test::TempDir dir_;
    test::RecordingHost host_;
    SettingsStore settings_;
    test::FakeLink link_;
    TransferEnv env_{&settings_, nullptr, nullptr, &host_, &link_};
    test::RecordingMontageView view_;
    DownloadList list_;
    std::shared_ptr<test::FakeVideo> video_ = std::make_shared<test::FakeVideo>();

    std::int64_t server_size_ = kServerSize;
    std::string server_name_;
    bool probe_ok_ = true;
    bool ranges_ = true;
    bool bytes_present_ = false;  // the reader finds every byte in the local file
    MediaOpenResult open_result_ = MediaOpenResult::Ok;
    std::function<void(VirtualFile&)> before_open_;
    std::atomic<bool> any_format_{false};
    std::atomic<int> probes_{0};
    std::atomic<int> random_tests_{0};
    std::atomic<int> serves_{0};
    std::unique_ptr<MediaSession> session_;
};

TEST_F(MediaSessionTest, OpenLearnsTheSizeAndListsTheMediaInformation) {
    video_->header = MediaHeader{640, 480, 30000, 1001, 1800, "DIVX"};
    auto item = add("clip.AVI");
    open(item);

    EXPECT_EQ(probes_, 1);
    EXPECT_EQ(random_tests_, 1);
    EXPECT_EQ(item->total_size(), kServerSize);
    EXPECT_FALSE(any_format_);
    EXPECT_TRUE(host_.message_list().empty());
    EXPECT_EQ(view_.info(),
              std::vector<std::string>({"Dimensions: \t640*480", "FPS: 29.97 fps",
                                        "Length: 0:1:0 (60 sec)", "No. of Frames: 1800",
                                        "Codec: Xvid MPEG-4 Codec", "FourCC: DIVX"}));
    EXPECT_EQ(view_.statuses().front(), "Downloading Media Info");
    EXPECT_EQ(view_.status(), "Media Information Extracted Successfully: (16 B downloaded)");
    EXPECT_EQ(view_.range_line(), "Downloading 16 bytes [0-16]");
    EXPECT_EQ(view_.progress_high(), 16);
    EXPECT_EQ(view_.montage_view_shown(), 1);

    EXPECT_TRUE(session().is_open());
    EXPECT_EQ(session().current_item(), item.get());
    EXPECT_EQ(item->state.load(), ItemState::MontageHeld);
    EXPECT_EQ(item->lock()->saved.resume_count, 1);
    EXPECT_TRUE(view_.close_enabled());
    EXPECT_TRUE(view_.get_frame_enabled());
    EXPECT_EQ(view_.get_frame_text(), "&Get Frame#");
    ASSERT_TRUE(session().media_header().has_value());
    EXPECT_EQ(session().media_header()->frame_count, 1800u);

    session().close();
    expect_closed(*item, "Media Closed (Idle)");
    EXPECT_FALSE(item->range_hook);
    EXPECT_EQ(link_.count(MessageId::MontageRestart), 0);
}

TEST_F(MediaSessionTest, KnownSizeSkipsTheProbesAndNothingFetchedShowsThePlainText) {
    bytes_present_ = true;
    auto item = add("clip.avi", ItemState::Stopped, 5000);
    open(item);
    EXPECT_TRUE(session().is_open());
    EXPECT_EQ(probes_, 0);
    EXPECT_EQ(random_tests_, 0);
    EXPECT_EQ(view_.status(), "Media Information Extracted Successfully");
}

TEST_F(MediaSessionTest, SizesAndSpansAboveFourGibibytesAreShownInFull) {
    constexpr std::int64_t kGiB = std::int64_t{1} << 30;
    constexpr std::int64_t kLarge = 5 * kGiB + 3;
    server_size_ = kLarge;
    before_open_ = [](VirtualFile& file) { file.seek(-16, SeekOrigin::End); };
    auto item = add("large.avi");
    open(item);
    ASSERT_TRUE(session().is_open()) << item->status_text();
    EXPECT_EQ(item->total_size(), kLarge);
    EXPECT_EQ(view_.range_line(), "Downloading 16 bytes [5368709107-5368709123]");
    EXPECT_EQ(view_.status(), "Media Information Extracted Successfully: (16 B downloaded)");

    // The progress bar holds 32-bit values: a span of 2 GiB or more counts in coarser units.
    item->range_hook(4 * kGiB, 3 * kGiB);
    EXPECT_EQ(view_.range_line(), "Downloading 3221225472 bytes [4294967296-7516192768]");
    EXPECT_EQ(view_.progress_high(), (3 * kGiB) / 2);
    item->progress_hook(kGiB, 3 * kGiB, 1024);
    EXPECT_EQ(view_.progress_position(), kGiB / 2);
    item->range_hook(0, 1000);
    item->progress_hook(999, 1000, 999);
    EXPECT_EQ(view_.progress_high(), 1000);
    EXPECT_EQ(view_.progress_position(), 999);
    session().close();
}

TEST_F(MediaSessionTest, OpenRefusalsLeaveTheItemAsItWas) {
    auto avi = add("a.avi");
    session().open(nullptr, 1, false);
    session().open(avi, 0, false);
    EXPECT_FALSE(session().is_open());

    auto ftp = add("b.avi", ItemState::Stopped, 0, 1, "ftp");
    session().open(ftp, 1, false);
    auto running = add("c.avi", ItemState::Running, 0, 0);
    session().open(running, 1, false);
    auto mpg = add("d.mpg");
    host_.answers.push_back(MessageAnswer::No);
    session().open(mpg, 1, false);
    EXPECT_EQ(session().open_outcome().failure, MontageFailure::NotTaken);

    const auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, "Sorry, Montage feature is available only for HTTP files");
    EXPECT_EQ(messages[0].caption, "Invalid Protocol");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(messages[1].text,
              "The server doesn't support resuming, so Montage feature cannot be used.");
    EXPECT_EQ(messages[1].caption, "Error");
    EXPECT_EQ(messages[2].text,
              "Invalid Media File, Only *.avi Files are Supported.\r\nDo you wish to continue at "
              "your own risk?");
    EXPECT_EQ(messages[2].caption, "Invalid Media File");
    EXPECT_EQ(messages[2].buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages[2].icon, MessageIcon::Warning);

    EXPECT_FALSE(session().is_open());
    EXPECT_EQ(running->state.load(), ItemState::Running);
    EXPECT_EQ(mpg->state.load(), ItemState::Stopped);
    EXPECT_EQ(probes_, 0);
    EXPECT_TRUE(link_.posts().empty());
}

TEST_F(MediaSessionTest, OtherFormatsOpenWhenTheUserAgrees) {
    auto mp4 = add("movie.mp4");
    host_.answers.push_back(MessageAnswer::Yes);
    open(mp4);
    EXPECT_TRUE(session().is_open());
    EXPECT_TRUE(any_format_);

    // A second download while one is open is refused; the open one only comes to the front.
    auto other = add("other.avi");
    session().open(other, 1, false);
    session().open(mp4, 1, false);
    const auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Montage Window is open, Please close it then retry again.");
    EXPECT_EQ(messages[1].caption, "Montage");
    EXPECT_EQ(messages[1].icon, MessageIcon::Warning);
    EXPECT_EQ(view_.montage_view_shown(), 2);
    EXPECT_EQ(session().current_item(), mp4.get());
}

TEST_F(MediaSessionTest, OpenThreadFailuresCloseTheMediaWithTheReason) {
    struct Case {
        std::function<void()> arrange;
        std::string status_text;
        MontageFailure failure;
    };
    const std::vector<Case> cases = {
        {[this] { probe_ok_ = false; }, "Media Closed (404: Not Found)",
         MontageFailure::RequestFailed},
        {[this] { server_size_ = 0; },
         "Media Closed (Cannot Get File Size From Server. Size is Required for Opening Media "
         "Files)",
         MontageFailure::NoSize},
        {[this] { ranges_ = false; },
         "Media Closed (Server doesn't Support Random Access. Random Access is Required for "
         "Opening Media Files)",
         MontageFailure::NoRandomAccess},
        {[this] { open_result_ = MediaOpenResult::OpenFailed; },
         "Media Closed (Error Opening the AVI File)", MontageFailure::ReadFailed},
        {[this] { open_result_ = MediaOpenResult::NotAvi; },
         "Media Closed (Error Opening the AVI File: Not an AVI File)", MontageFailure::NotAvi},
        {[this] { open_result_ = MediaOpenResult::DamagedHeader; },
         "Media Closed (Error Opening the AVI File: The File's Header is Damaged or Incomplete)",
         MontageFailure::DamagedHeader},
        {[this] { open_result_ = MediaOpenResult::UnknownFormat; },
         "Media Closed (Error Opening the AVI File: Unknown or Unsupported Media Format)",
         MontageFailure::UnknownFormat},
        {[this] { open_result_ = MediaOpenResult::NoVideoStream; },
         "Media Closed (Error Finding a Video Stream)", MontageFailure::NoVideoStream},
        {[this] { open_result_ = MediaOpenResult::InfoUnreadable; },
         "Media Closed (Unable to Extract AVI Info, File may be Corrupted)",
         MontageFailure::InfoUnreadable},
        {[this] { video_->codec = CodecStatus::StreamInfoUnreadable; },
         "Media Closed (Error Extracting Video Stream Info)", MontageFailure::StreamInfoUnreadable},
        {[this] { video_->codec = CodecStatus::CodecInfoUnreadable; },
         "Media Closed (Error Extracting Video Stream Info)", MontageFailure::StreamInfoUnreadable},
    };
    int n = 0;
    for (const Case& c : cases) {
        probe_ok_ = true;
        server_size_ = kServerSize;
        ranges_ = true;
        open_result_ = MediaOpenResult::Ok;
        video_->codec = CodecStatus::Found;
        c.arrange();
        auto item = add("f" + std::to_string(n++) + ".avi");
        open(item);
        SCOPED_TRACE(c.status_text);
        expect_closed(*item, c.status_text);
        EXPECT_EQ(session().open_outcome().failure, c.failure);
    }
    EXPECT_TRUE(host_.message_list().empty());
}

TEST_F(MediaSessionTest, NoDecoderKeepsTheSessionOpen) {
    video_->codec = CodecStatus::NotFound;
    auto item = add("clip.avi");
    open(item);
    ASSERT_TRUE(session().is_open());
    EXPECT_EQ(view_.info()[4], "Codec: <Not Found>");

    EXPECT_FALSE(session().open_outcome().failed());
    get_frame("3");
    EXPECT_EQ(item->status_text(), "Error Finding Decompressor Codec");
    EXPECT_EQ(session().frame_failure().failure, MontageFailure::NoDecoder);
    EXPECT_TRUE(session().is_open());
    EXPECT_TRUE(view_.storyboard().empty());
}

TEST_F(MediaSessionTest, CloseDuringTheOpenEndsTheFetchAndClosesWhenTheThreadEnds) {
    test::Gate gate;
    before_open_ = [&gate](VirtualFile&) { gate.pass(); };
    auto item = add("clip.avi");
    session().open(item, 1, false);
    gate.wait_arrival();

    session().close();
    EXPECT_EQ(view_.status(), "Closing Media...");
    EXPECT_FALSE(view_.close_enabled());
    EXPECT_FALSE(view_.get_frame_enabled());
    EXPECT_TRUE(session().is_open());
    EXPECT_TRUE(session().worker_running());
    EXPECT_TRUE(item->montage_abort.load());

    gate.open();
    ASSERT_TRUE(session().wait_idle(kWait));
    expect_closed(*item, "Media Closed (Error Opening the AVI File)");
    EXPECT_FALSE(session().worker_running());
}

TEST_F(MediaSessionTest, RunningDownloadIsStoppedForTheMontageAndStartedAgainAfter) {
    auto item = add("clip.avi", ItemState::Running, 0, 1);
    item->worker_active = true;
    open(item);
    EXPECT_GE(serves_, 1);
    EXPECT_TRUE(item->restart_on_close.load());
    EXPECT_EQ(item->state.load(), ItemState::MontageHeld);

    session().close();
    EXPECT_FALSE(item->restart_on_close.load());
    const auto posts = link_.posts();
    ASSERT_FALSE(posts.empty());
    EXPECT_EQ(posts.back().first, MessageId::MontageRestart);
    EXPECT_EQ(posts.back().second, item.get());

    // A stopped download stays stopped.
    auto stopped = add("still.avi");
    open(stopped);
    session().close();
    EXPECT_EQ(link_.count(MessageId::MontageRestart), 1);
    EXPECT_EQ(stopped->state.load(), ItemState::Stopped);
}

TEST_F(MediaSessionTest, LockedFileRefusesAndAStoppedRunGoesOn) {
    auto item = add("clip.avi", ItemState::Running, 0, 1);
    item->lock()->set_local_path(dir_.file("missing-folder/clip.avi"));
    session().open(item, 1, false);
    const auto messages = host_.message_list();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Specified File is Locked and cannot be Opened.");
    EXPECT_EQ(messages[0].caption, "Error");
    EXPECT_FALSE(session().is_open());
    EXPECT_EQ(link_.count(MessageId::MontageRestart), 1);
}

TEST_F(MediaSessionTest, ServerFileNameIsAppliedWhenTheMediaCloses) {
    server_name_ = "server.avi";
    auto item = add("clip.avi");
    test::write_file(dir_.file("clip.avi"), "");
    open(item);
    EXPECT_TRUE(item->lock()->pending_rename);
    EXPECT_EQ(item->file_name(), "clip.avi");

    session().close();
    EXPECT_EQ(item->file_name(), "server.avi");
    EXPECT_TRUE(std::filesystem::exists(dir_.file("server.avi")));
    EXPECT_FALSE(item->lock()->pending_rename);
}

TEST_F(MediaSessionTest, FramesByNumberAndByTime) {
    auto item = add("clip.avi");
    open(item);
    get_frame("1");
    get_frame("");
    get_frame("0");
    get_frame("999");
    EXPECT_EQ(video_->decoded(), std::vector<std::int64_t>({0, 249, 249, 249}));
    EXPECT_EQ(view_.status(), "Frame 250 Extracted Successfully");

    session().toggle_entry_mode();
    EXPECT_EQ(view_.mode_text(), "T>");
    EXPECT_EQ(view_.get_frame_text(), "Get Time");
    EXPECT_EQ(view_.entry_text(), "00:00:00");
    get_frame("00:00:00");
    get_frame("0:2.5");
    get_frame("1:0:0");
    session().start_get_frame("-5");
    EXPECT_EQ(view_.rejects(), 1);
    EXPECT_EQ(video_->decoded(), std::vector<std::int64_t>({0, 249, 249, 249, 0, 50, 249}));

    session().toggle_entry_mode();
    EXPECT_EQ(view_.mode_text(), "F>");
    EXPECT_EQ(view_.get_frame_text(), "Get Frame");
    EXPECT_EQ(view_.entry_text(), "0");
    EXPECT_EQ(view_.storyboard_numbers(),
              std::vector<std::int32_t>({1, 250, 250, 250, 1, 51, 250}));
    EXPECT_TRUE(view_.close_enabled());
}

TEST_F(MediaSessionTest, CancelEndsTheFrameAndASecondGetFrameIsRefused) {
    auto item = add("clip.avi");
    open(item);
    test::Gate gate;
    video_->decode = [&](std::int64_t, Picture& out) {
        gate.pass();
        if (item->montage_abort.load())
            return FrameResult::FrameMissing;
        out = test::tiny_picture();
        return FrameResult::Ok;
    };
    session().start_get_frame("10");
    gate.wait_arrival();
    EXPECT_TRUE(session().cancel_mode());
    EXPECT_EQ(view_.get_frame_text(), "Cancel");
    EXPECT_TRUE(view_.get_frame_enabled());

    session().start_get_frame("11");
    EXPECT_EQ(view_.status(), "Please Wait till the Current Process is Finished");
    session().press_get_frame("11");  // in cancel mode: Cancel
    EXPECT_TRUE(item->montage_abort.load());
    EXPECT_FALSE(view_.get_frame_enabled());
    EXPECT_FALSE(view_.close_enabled());

    gate.open();
    ASSERT_TRUE(session().wait_idle(kWait));
    EXPECT_EQ(view_.status(), "Error Downloading Frame");
    EXPECT_TRUE(view_.get_frame_enabled());
    EXPECT_EQ(view_.get_frame_text(), "&Get Frame#");
    EXPECT_TRUE(view_.close_enabled());
    EXPECT_TRUE(session().is_open());

    video_->decode = nullptr;
    get_frame("12");
    EXPECT_EQ(video_->decoded(), std::vector<std::int64_t>({9, 11}));
    EXPECT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({12}));
}

TEST_F(MediaSessionTest, AutoMontageRunsAfterTheOpenAndStopsOnCancel) {
    video_->header.frame_count = 1000;
    auto item = add("clip.avi");
    test::Gate gate;
    video_->decode = [&](std::int64_t frame, Picture& out) {
        if (frame == 143) {
            gate.pass();
            return item->montage_abort.load() ? FrameResult::FrameMissing : FrameResult::Ok;
        }
        out = test::tiny_picture();
        return FrameResult::Ok;
    };
    session().open(item, 1, true);
    gate.wait_arrival();
    EXPECT_EQ(view_.status(), "AutoDownloading Frame 2/7...");
    session().cancel();
    gate.open();
    ASSERT_TRUE(session().wait_idle(kWait));
    EXPECT_EQ(view_.status(), "AutoMontage Finished (Found only 1 Keyframes)");
    EXPECT_EQ(video_->decoded(), std::vector<std::int64_t>({10, 143}));
    EXPECT_TRUE(session().is_open());
    EXPECT_TRUE(view_.close_enabled());
    EXPECT_TRUE(view_.get_frame_enabled());
}

TEST_F(MediaSessionTest, CloseDuringAFrameClosesWhenTheFrameEnds) {
    settings_.update([](Settings& s) { s.ClearStoryOnClose = 1; });
    auto item = add("clip.avi");
    open(item);
    get_frame("5");
    ASSERT_EQ(view_.storyboard().size(), 1u);

    test::Gate gate;
    video_->decode = [&](std::int64_t, Picture& out) {
        gate.pass();
        out = test::tiny_picture();
        return FrameResult::Ok;
    };
    session().start_get_frame("6");
    gate.wait_arrival();
    session().close();
    EXPECT_TRUE(session().is_open());
    gate.open();
    ASSERT_TRUE(session().wait_idle(kWait));
    expect_closed(*item, "Media Closed (Idle)");
    // ClearStoryOnClose emptied the strip; the frame of the close never reached it.
    EXPECT_TRUE(view_.storyboard().empty());
    EXPECT_GE(view_.frame_view_clears(), 1);
}

TEST_F(MediaSessionTest, StoryboardSurvivesTheCloseByDefault) {
    video_->header.frame_count = 50;  // planned: 7, the middle, 7 from the end
    auto item = add("clip.avi");
    open(item, true);
    EXPECT_EQ(view_.status(), "AutoMontage Finished");
    ASSERT_EQ(view_.storyboard().size(), 3u);
    session().close();
    EXPECT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({8, 26, 44}));
}

TEST_F(MediaSessionTest, RangesBeyondTheLocalFileAreDroppedAtOpen) {
    // The list says 4000 bytes are present, but the local file was cut to 1000 since.
    bytes_present_ = true;
    auto item = add("clip.avi", ItemState::Stopped, 5000);
    test::write_file(dir_.file("clip.avi"), std::string(1000, 'x'));
    {
        auto data = item->lock();
        data->ranges.add(0, 4000);
        data->saved.range_count = 1;
        data->saved.downloaded = 4000;
    }
    open(item);
    ASSERT_TRUE(session().wait_idle(std::chrono::seconds(10)));
    EXPECT_EQ(item->lock()->ranges.covered_bytes(), 1000);
    EXPECT_EQ(item->downloaded(), 1000);
}

}  // namespace
}  // namespace rg
