#include "montage/auto_montage.h"

#include <gtest/gtest.h>

#include "fake_media.h"
#include "support/recording_montage_view.h"

namespace rg {
namespace {

using Plan = std::vector<std::int64_t>;

TEST(AutoMontagePlan, ShortMediumAndLongVideos) {
    EXPECT_EQ(auto_montage_plan(15, 7), Plan({8}));
    EXPECT_EQ(auto_montage_plan(20, 7), Plan({10}));
    EXPECT_EQ(auto_montage_plan(21, 7), Plan({7, 11, 14}));
    EXPECT_EQ(auto_montage_plan(100, 7), Plan({7, 50, 93}));
    EXPECT_EQ(auto_montage_plan(1000, 7), Plan({10, 143, 286, 429, 572, 715, 990}));
    EXPECT_EQ(auto_montage_plan(101, 5), Plan({10, 21, 41, 61, 91}));
}

TEST(AutoMontagePlan, FrameCountSettingIsBounded) {
    EXPECT_EQ(auto_montage_plan(1000, 3).size(), 5u);
    EXPECT_EQ(auto_montage_plan(1000, -4).size(), 5u);
    EXPECT_EQ(auto_montage_plan(100000, 2000000000).size(),
              static_cast<std::size_t>(kAutoMontageMaxFrames));
}

class AutoMontageRun : public ::testing::Test {
  protected:
    void SetUp() override {
        video_->header.frame_count = 1000;
        work_.item = &item_;
        work_.media = &media_;
    }

    test::RecordingMontageView view_;
    MontageWork work_{view_};
    DownloadItem item_;
    std::shared_ptr<test::FakeVideo> video_ = std::make_shared<test::FakeVideo>();
    test::FakeMediaFile media_{video_};
};

TEST_F(AutoMontageRun, EveryPlannedFrameFound) {
    const AutoMontageOutcome outcome = run_auto_montage(work_, 7);
    EXPECT_EQ(outcome.found, 7u);
    EXPECT_EQ(outcome.planned, 7u);
    EXPECT_EQ(view_.storyboard_numbers(),
              std::vector<std::int32_t>({11, 144, 287, 430, 573, 716, 991}));
    EXPECT_EQ(view_.status(), "AutoMontage Finished");
    const auto statuses = view_.statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "AutoDownloading Frame 3/7..."),
              statuses.end());
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Frame 3/7 Extracted Successfully"),
              statuses.end());
}

TEST_F(AutoMontageRun, KeyFramesReplacePlannedFramesAndRepeatsAreSkipped) {
    video_->key_frames = {0};
    EXPECT_EQ(run_auto_montage(work_, 7).found, 1u);
    EXPECT_EQ(video_->decoded(), std::vector<std::int64_t>({0}));
    EXPECT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({1}));
    EXPECT_EQ(view_.status(), "AutoMontage Finished (Found only 1 Keyframes)");
}

TEST_F(AutoMontageRun, SparseKeyFramesAndAFailedFrame) {
    // Planned 10, 143, 286, 429, 572, 715, 990 land on 0, 100, 250, 250, 500, 500, 900.
    video_->key_frames = {0, 100, 250, 500, 900};
    video_->decode = [](std::int64_t frame, Picture& out) {
        if (frame == 100)
            return FrameResult::FrameMissing;
        out = test::tiny_picture();
        return FrameResult::Ok;
    };
    EXPECT_EQ(run_auto_montage(work_, 7).found, 4u);
    EXPECT_EQ(video_->decoded(), std::vector<std::int64_t>({0, 100, 250, 500, 900}));
    EXPECT_EQ(view_.storyboard_numbers(), std::vector<std::int32_t>({1, 251, 501, 901}));
    EXPECT_EQ(view_.status(), "AutoMontage Finished (Found only 4 Keyframes)");
}

TEST_F(AutoMontageRun, MissingDecoderStopsThePlan) {
    video_->codec = CodecStatus::NotFound;
    EXPECT_EQ(run_auto_montage(work_, 7).found, 0u);
    EXPECT_TRUE(video_->decoded().empty());
    EXPECT_EQ(item_.status_text(), "Error Finding Decompressor Codec");
    EXPECT_EQ(view_.status(), "AutoMontage Finished (Found only 0 Keyframes)");
}

TEST_F(AutoMontageRun, StopRequestEndsAfterTheCurrentFrame) {
    video_->decode = [this](std::int64_t frame, Picture& out) {
        if (frame == 143) {
            // Cancel: the fetch fails and the plan ends.
            item_.montage_abort = true;
            work_.stop_request = true;
            return FrameResult::FrameMissing;
        }
        out = test::tiny_picture();
        return FrameResult::Ok;
    };
    EXPECT_EQ(run_auto_montage(work_, 7).found, 1u);
    EXPECT_EQ(video_->decoded(), std::vector<std::int64_t>({10, 143}));
    const auto statuses = view_.statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Error Downloading Frame"),
              statuses.end());
    EXPECT_EQ(view_.status(), "AutoMontage Finished (Found only 1 Keyframes)");
}

}  // namespace
}  // namespace rg
