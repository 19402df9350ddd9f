#include "montage/frame_fetch.h"

#include <gtest/gtest.h>

#include "fake_media.h"
#include "support/recording_montage_view.h"

namespace rg {
namespace {

class FrameFetchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        work_.item = &item_;
        work_.media = &media_;
    }

    FrameRequest by_hand(std::int64_t index) {
        FrameRequest r;
        r.index = index;
        return r;
    }

    // The pane after every fetch: the entry and the Get Frame button usable again.
    void expect_idle_controls() {
        EXPECT_TRUE(view_.entry_enabled());
        EXPECT_TRUE(view_.get_frame_enabled());
        EXPECT_EQ(view_.get_frame_text(), "&Get Frame#");
        EXPECT_FALSE(work_.cancel_mode.load());
    }

    test::RecordingMontageView view_;
    MontageWork work_{view_};
    DownloadItem item_;
    std::shared_ptr<test::FakeVideo> video_ = std::make_shared<test::FakeVideo>();
    test::FakeMediaFile media_{video_};
};

TEST_F(FrameFetchTest, FrameIsAppendedWithItsNumberAndTime) {
    EXPECT_EQ(fetch_frame(work_, by_hand(4)), 4);
    const auto frames = view_.storyboard();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].frame_number, 5);
    EXPECT_DOUBLE_EQ(frames[0].time_seconds, 4.0 / 25.0);
    EXPECT_FALSE(frames[0].picture.empty());
    EXPECT_EQ(view_.status(), "Frame 5 Extracted Successfully");
    const auto statuses = view_.statuses();
    ASSERT_GE(statuses.size(), 2u);
    EXPECT_EQ(statuses[0], "Opening Frame Decompressor...");
    EXPECT_EQ(statuses[1], "Downloading Frame 5...");
    expect_idle_controls();

    // The same frame twice is shown twice.
    EXPECT_EQ(fetch_frame(work_, by_hand(4)), 4);
    EXPECT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({5, 5}));
}

TEST_F(FrameFetchTest, BytesFetchedForTheFrameAreShownWithTheResult) {
    video_->decode = [this](std::int64_t, Picture& out) {
        // While decoding: the controls cancel, the entry is locked.
        EXPECT_TRUE(view_.get_frame_enabled());
        EXPECT_EQ(view_.get_frame_text(), "Cancel");
        EXPECT_TRUE(work_.cancel_mode.load());
        EXPECT_FALSE(view_.entry_enabled());
        work_.add_amount(2048);
        EXPECT_EQ(view_.status(), "Downloading Frame 5...(2.00 KB downloaded)");
        work_.add_amount(1536);
        out = test::tiny_picture();
        return FrameResult::Ok;
    };
    EXPECT_EQ(fetch_frame(work_, by_hand(4)), 4);
    EXPECT_EQ(view_.status(), "Frame 5 Extracted Successfully(3.50 KB downloaded)");
}

TEST_F(FrameFetchTest, FailuresAndTheirTexts) {
    struct Case {
        FrameResult result;
        bool abort;
        const char* status_line;
    };
    for (const Case& c : {Case{FrameResult::FrameMissing, true, "Error Downloading Frame"},
                          Case{FrameResult::Ok, true, "Error Downloading Frame"},
                          Case{FrameResult::FrameMissing, false, "Error Getting Frame"}}) {
        video_->decode = [this, c](std::int64_t, Picture& out) {
            if (c.abort)
                item_.montage_abort = true;
            if (c.result == FrameResult::Ok)
                out = test::tiny_picture();
            return c.result;
        };
        EXPECT_EQ(fetch_frame(work_, by_hand(3)), -1);
        EXPECT_EQ(view_.status(), c.status_line);
        EXPECT_FALSE(work_.stop_request.load());
        expect_idle_controls();
    }
    EXPECT_TRUE(view_.storyboard().empty());
    EXPECT_EQ(item_.status_text(), "Idle");
}

TEST_F(FrameFetchTest, MissingStreamOrDecoderGoesToTheItemAndStops) {
    video_->codec = CodecStatus::NotFound;
    EXPECT_EQ(fetch_frame(work_, by_hand(3)), -1);
    EXPECT_EQ(item_.status_text(), "Error Finding Decompressor Codec");
    EXPECT_EQ(view_.status(), "Opening Frame Decompressor...");
    EXPECT_TRUE(work_.stop_request.load());
    EXPECT_TRUE(video_->decoded().empty());
    expect_idle_controls();

    work_.stop_request = false;
    video_->codec = CodecStatus::Found;
    video_->decode = [](std::int64_t, Picture&) { return FrameResult::NoDecoder; };
    EXPECT_EQ(fetch_frame(work_, by_hand(3)), -1);
    EXPECT_EQ(item_.status_text(), "Error Finding Decompressor Codec");
    EXPECT_TRUE(work_.stop_request.load());

    work_.stop_request = false;
    work_.media = nullptr;
    EXPECT_EQ(fetch_frame(work_, by_hand(3)), -1);
    EXPECT_EQ(item_.status_text(), "Error Finding a Video Stream");
    EXPECT_TRUE(work_.stop_request.load());
}

TEST_F(FrameFetchTest, OperationStartClearsAnEarlierAbortButNotARequestedClose) {
    item_.montage_abort = true;
    EXPECT_EQ(fetch_frame(work_, by_hand(1)), 1);

    work_.close_requested = true;
    EXPECT_EQ(fetch_frame(work_, by_hand(1)), -1);
    EXPECT_TRUE(item_.montage_abort.load());
    EXPECT_EQ(video_->decoded().size(), 1u);
}

TEST_F(FrameFetchTest, CloseDuringTheFrameKeepsItOutOfTheStoryboard) {
    video_->decode = [this](std::int64_t, Picture& out) {
        work_.close_requested = true;
        item_.montage_abort = true;
        out = test::tiny_picture();
        return FrameResult::Ok;
    };
    EXPECT_EQ(fetch_frame(work_, by_hand(7)), 7);
    EXPECT_TRUE(view_.storyboard().empty());
    EXPECT_EQ(view_.status(), "Downloading Frame 8...");
}

}  // namespace
}  // namespace rg
