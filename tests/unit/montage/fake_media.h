#pragma once

#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/download_item.h"
#include "engine/transfer_worker.h"
#include "montage/media_file.h"
#include "montage/media_session.h"

namespace rg::test {

// A small picture standing for a decoded frame.
inline Picture tiny_picture() {
    Picture p;
    p.width = 2;
    p.height = 2;
    p.rgb.assign(12, 0x80);
    return p;
}

// The video behind a FakeMediaFile, shared with the test that set it up.
struct FakeVideo {
    MediaHeader header{320, 240, 25, 1, 250, "XVID"};
    CodecStatus codec = CodecStatus::Found;
    std::string codec_name = "Xvid MPEG-4 Codec";
    // Key frames in ascending order; empty: every frame is one.
    std::vector<std::int64_t> key_frames;
    // Replaces the decoding (to block, fail or count bytes); the default gives tiny_picture().
    std::function<FrameResult(std::int64_t, Picture&)> decode;

    std::vector<std::int64_t> decoded() {
        std::lock_guard guard(mutex);
        return decoded_frames;
    }

    std::mutex mutex;
    std::vector<std::int64_t> decoded_frames;
};

class FakeMediaFile : public MediaFile {
  public:
    explicit FakeMediaFile(std::shared_ptr<FakeVideo> video) : video_(std::move(video)) {}

    const MediaHeader& header() const override { return video_->header; }
    CodecStatus codec_status() const override { return video_->codec; }
    std::string codec_name() const override {
        return video_->codec == CodecStatus::Found ? video_->codec_name : std::string();
    }
    std::int64_t key_frame_at_or_before(std::int64_t frame) override {
        if (video_->key_frames.empty())
            return frame;
        std::int64_t found = -1;
        for (const std::int64_t k : video_->key_frames) {
            if (k <= frame)
                found = k;
        }
        return found;
    }
    FrameResult decode_frame(std::int64_t frame, Picture& out) override {
        {
            std::lock_guard guard(video_->mutex);
            video_->decoded_frames.push_back(frame);
        }
        if (video_->decode)
            return video_->decode(frame, out);
        out = tiny_picture();
        return FrameResult::Ok;
    }

  private:
    std::shared_ptr<FakeVideo> video_;
};

// A point where a worker waits until the test lets it go on.
class Gate {
  public:
    // Worker side: announces the arrival and waits for open().
    void pass() {
        arrived_.set_value();
        released_.wait();
    }
    // Test side.
    void wait_arrival() { arrived_future_.wait(); }
    void open() { release_.set_value(); }

  private:
    std::promise<void> arrived_;
    std::future<void> arrived_future_ = arrived_.get_future();
    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
};

// What the controller sees of the session: the messages it posts.
class FakeLink : public WorkerLink {
  public:
    void post(MessageId id, DownloadItem* item) override {
        std::lock_guard guard(mutex_);
        posts_.emplace_back(id, item);
    }
    bool ask_credentials(DownloadItem&) override { return false; }
    std::vector<std::pair<MessageId, DownloadItem*>> posts() {
        std::lock_guard guard(mutex_);
        return posts_;
    }
    int count(MessageId id) {
        std::lock_guard guard(mutex_);
        return static_cast<int>(std::count_if(posts_.begin(), posts_.end(),
                                              [id](const auto& p) { return p.first == id; }));
    }

  private:
    std::mutex mutex_;
    std::vector<std::pair<MessageId, DownloadItem*>> posts_;
};

}  // namespace rg::test
