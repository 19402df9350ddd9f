#pragma once

// A download whose "server" is a file of bytes in memory: the span fetcher copies the asked span
// into the item's file and ranges in blocks, as the transfer worker does, and logs every request.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/download_item.h"
#include "montage/remote_media_reader.h"
#include "platform/local_file.h"
#include "support/temp_dir.h"

namespace rg::test {

inline std::string video_fixture(const std::string& name) {
    return (std::filesystem::path(RG_FIXTURE_DIR) / "video" / name).string();
}

struct FetchedSpan {
    std::int64_t start;
    std::int64_t length;
};

class FakeRemoteFile {
  public:
    static constexpr std::int32_t kBlock = 1024;

    explicit FakeRemoteFile(std::string content) : content_(std::move(content)) {
        path_ = dir_.file("download.avi");
        auto data = item_.lock();
        data->file = LocalFile::open(path_, LocalFile::Mode::ReadWrite);
        data->set_local_path(path_);
        data->saved.total_size = static_cast<std::int64_t>(content_.size());
    }

    DownloadItem& item() { return item_; }
    const std::string& content() const { return content_; }
    const std::vector<FetchedSpan>& log() const { return log_; }
    // The fetch after this many succeeds delivers half of its span; -1: never.
    void fail_after(int fetches) { fail_after_ = fetches; }

    SpanFetcher fetcher() {
        return [this](std::int64_t start, std::int64_t length) { return fetch(start, length); };
    }

    std::int64_t fetched_bytes() const {
        std::int64_t total = 0;
        for (const FetchedSpan& span : log_)
            total += span.length;
        return total;
    }

    // True when no byte was requested twice.
    bool spans_disjoint() const {
        std::vector<FetchedSpan> sorted = log_;
        std::sort(sorted.begin(), sorted.end(),
                  [](const FetchedSpan& a, const FetchedSpan& b) { return a.start < b.start; });
        for (std::size_t i = 1; i < sorted.size(); ++i) {
            if (sorted[i - 1].start + sorted[i - 1].length > sorted[i].start)
                return false;
        }
        return true;
    }

  private:
    std::int64_t fetch(std::int64_t start, std::int64_t length) {
        log_.push_back({start, length});
        EXPECT_GE(start, 0);
        EXPECT_GT(length, 0);
        EXPECT_LE(static_cast<std::size_t>(start) + length, content_.size());
        std::int64_t deliver = length;
        if (fail_after_ >= 0 && static_cast<int>(log_.size()) > fail_after_)
            deliver = length / 2;
        std::int64_t done = 0;
        while (done < deliver) {
            const std::int64_t block = std::min<std::int64_t>(kBlock, deliver - done);
            if (!item_.store_chunk(start + done, block, content_.data() + start + done))
                break;
            done += block;
        }
        return done;
    }

    TempDir dir_;
    std::string path_;
    std::string content_;
    DownloadItem item_;
    std::vector<FetchedSpan> log_;
    int fail_after_ = -1;
};

// Every frame of a video as the ffmpeg tool decodes the complete file: RGB, w * h * 3 bytes each.
inline const std::vector<std::string>& reference_frames(const std::string& path, int width,
                                                        int height) {
    static std::map<std::string, std::vector<std::string>> cache;
    auto found = cache.find(path);
    if (found != cache.end())
        return found->second;
    std::vector<std::string>& frames = cache[path];
    const std::string command = "ffmpeg -v error -nostdin -i '" + path +
                                "' -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return frames;
    const std::size_t frame_bytes = static_cast<std::size_t>(width) * height * 3;
    std::string frame(frame_bytes, '\0');
    while (std::fread(frame.data(), 1, frame_bytes, pipe) == frame_bytes)
        frames.push_back(frame);
    ::pclose(pipe);
    return frames;
}

// Mean and largest difference of two RGB buffers of the same size.
struct PixelDifference {
    double mean = 0;
    int largest = 0;
};

inline PixelDifference compare_pixels(const std::vector<std::uint8_t>& a, const std::string& b) {
    PixelDifference d;
    if (a.size() != b.size() || a.empty()) {
        d.mean = 255;
        d.largest = 255;
        return d;
    }
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int diff = std::abs(static_cast<int>(a[i]) - static_cast<unsigned char>(b[i]));
        sum += diff;
        d.largest = std::max(d.largest, diff);
    }
    d.mean = static_cast<double>(sum) / static_cast<double>(a.size());
    return d;
}

}  // namespace rg::test
