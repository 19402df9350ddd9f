// The media file takes any bytes as a remote video without crashing, hanging or allocating
// without bound: every outcome is a result code. The first byte chooses the options (any
// container; whether the file says which bytes are already on disk; whether the file is above
// 4 GiB), the rest is the file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "montage/media_file.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace {

constexpr std::uint8_t kAnyFormatFlag = 1;
constexpr std::uint8_t kLocalReadsFlag = 2;
// The input is also the last bytes of a file of kFarFileSize, with zeros between the two copies:
// an OpenDML index may then point past every 32-bit offset.
constexpr std::uint8_t kFarTailFlag = 4;
constexpr std::int64_t kFarFileSize = std::int64_t{9} << 29;  // 4.5 GiB
// Where positions end, as in the remote media reader.
constexpr std::int64_t kLargestPosition = std::int64_t{1} << 62;
// Larger pictures are legal but only slow the search down.
constexpr std::int64_t kMaxFuzzPixels = 1024 * 1024;
constexpr std::size_t kMaxFuzzAlloc = 256 * 1024 * 1024;

class MemoryFile final : public rg::VirtualFile {
  public:
    MemoryFile(const std::uint8_t* data, std::size_t size, bool local, bool far)
        : data_(data),
          data_size_(static_cast<std::int64_t>(size)),
          size_(far ? kFarFileSize : data_size_),
          local_(local) {}

    std::int64_t size() override { return size_; }
    std::int64_t seek(std::int64_t offset, rg::SeekOrigin origin) override {
        const std::int64_t base = origin == rg::SeekOrigin::Start     ? 0
                                  : origin == rg::SeekOrigin::Current ? position_
                                                                      : size_;
        std::int64_t target = 0;
        if (__builtin_add_overflow(base, offset, &target) || target < 0 ||
            target > kLargestPosition)
            return -1;
        position_ = target;
        return position_;
    }
    std::int32_t read(std::uint8_t* buffer, std::int32_t count) override {
        if (count <= 0 || position_ >= size_)
            return 0;
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, size_ - position_));
        const std::int64_t tail = size_ - data_size_;
        for (std::int32_t done = 0; done < n;) {
            const std::int64_t at = position_ + done;
            std::int64_t piece = n - done;
            if (at < data_size_) {
                piece = std::min(piece, data_size_ - at);
                std::memcpy(buffer + done, data_ + at, static_cast<std::size_t>(piece));
            } else if (at >= tail) {
                std::memcpy(buffer + done, data_ + (at - tail), static_cast<std::size_t>(piece));
            } else {
                piece = std::min(piece, tail - at);
                std::memset(buffer + done, 0, static_cast<std::size_t>(piece));
            }
            done += static_cast<std::int32_t>(piece);
        }
        position_ += n;
        return n;
    }
    std::int32_t read_local(std::uint8_t* buffer, std::int32_t count) override {
        return local_ ? read(buffer, count) : 0;
    }

  private:
    const std::uint8_t* data_;
    std::int64_t data_size_;
    std::int64_t size_;
    bool local_;
    std::int64_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(kMaxFuzzAlloc);
        return true;
    }();
    (void)quiet;
    if (size < 1 || static_cast<std::int64_t>(size) > kFarFileSize / 2)
        return 0;
    const std::uint8_t flags = data[0];
    MemoryFile file(data + 1, size - 1, (flags & kLocalReadsFlag) != 0,
                    (flags & kFarTailFlag) != 0);
    rg::MediaOpenOptions options;
    options.any_format = (flags & kAnyFormatFlag) != 0;
    rg::MediaOpenResult result = rg::MediaOpenResult::Ok;
    std::unique_ptr<rg::MediaFile> media = rg::open_media_file(file, options, result);
    if ((media == nullptr) != (result != rg::MediaOpenResult::Ok))
        std::abort();
    if (!media)
        return 0;

    const rg::MediaHeader& header = media->header();
    if (header.width < 1 || header.height < 1 || header.width > 16384 || header.height > 16384 ||
        header.fourcc.size() != 4) {
        std::abort();
    }
    if (media->codec_status() == rg::CodecStatus::Found && media->codec_name().empty())
        std::abort();
    if (static_cast<std::int64_t>(header.width) * header.height > kMaxFuzzPixels)
        return 0;

    const std::int64_t count = header.frame_count;
    const std::int64_t wanted[] = {0, count / 2, count - 1, count / 2 + 1, count, -1};
    for (std::int64_t frame : wanted) {
        const std::int64_t key = media->key_frame_at_or_before(frame);
        if (key > frame || (frame < 0 && key != -1))
            std::abort();
        rg::Picture picture;
        const rg::FrameResult decoded = media->decode_frame(frame, picture);
        if (decoded == rg::FrameResult::Ok &&
            (picture.width != static_cast<std::int32_t>(header.width) ||
             picture.height != static_cast<std::int32_t>(header.height) ||
             picture.rgb.size() != picture.stride() * static_cast<std::size_t>(picture.height))) {
            std::abort();
        }
        if (decoded != rg::FrameResult::Ok && !picture.empty())
            std::abort();
    }
    return 0;
}
