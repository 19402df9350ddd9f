// Files above 4 GiB through the remote media reader and the demuxer: positions past every 32-bit
// limit reach the server and the item's file at their own offsets.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/download_item.h"
#include "media_file_fixture.h"
#include "montage/media_file.h"
#include "montage/remote_media_reader.h"
#include "platform/local_file.h"
#include "support/sparse_odml.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kMiB = std::int64_t{1} << 20;
constexpr std::int64_t kBlock = 64 * 1024;
constexpr double kMeanPixelTolerance = 1.0;
constexpr int kLargestPixelTolerance = 48;

// Reads `length` bytes of a file at `offset`; fewer at its end.
std::string read_at(const std::string& path, std::int64_t offset, std::int64_t length) {
    std::string out(static_cast<std::size_t>(length), '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const ssize_t got = ::pread(fd, out.data(), out.size(), offset);
    ::close(fd);
    out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return out;
}

// A download of `size` bytes whose item writes to a sparse file in `folder`. `source` gives the
// server's bytes of a span; every fetch is logged.
class LargeDownload {
  public:
    using Source = std::function<std::string(std::int64_t start, std::int64_t length)>;

    LargeDownload(const std::string& folder, std::int64_t size, Source source)
        : path_(folder + "/download.avi"), source_(std::move(source)) {
        auto data = item_.lock();
        data->file = LocalFile::open(path_, LocalFile::Mode::ReadWrite);
        data->set_local_path(path_);
        data->saved.total_size = size;
    }

    DownloadItem& item() { return item_; }
    const std::string& path() const { return path_; }
    const std::vector<test::FetchedSpan>& log() const { return log_; }
    std::int64_t fetched_bytes() const {
        std::int64_t total = 0;
        for (const test::FetchedSpan& span : log_)
            total += span.length;
        return total;
    }

    SpanFetcher fetcher() {
        return [this](std::int64_t start, std::int64_t length) {
            log_.push_back({start, length});
            std::int64_t done = 0;
            while (done < length) {
                const std::int64_t block = std::min(kBlock, length - done);
                const std::string bytes = source_(start + done, block);
                if (static_cast<std::int64_t>(bytes.size()) != block ||
                    !item_.store_chunk(start + done, block, bytes.data()))
                    break;
                done += block;
            }
            return done;
        };
    }

  private:
    std::string path_;
    Source source_;
    DownloadItem item_;
    std::vector<test::FetchedSpan> log_;
};

// Bytes that differ with the bits of their offset above 32, so that a wrapped position reads
// other bytes than the right one.
char pattern_byte(std::int64_t offset) {
    const auto u = static_cast<std::uint64_t>(offset);
    return static_cast<char>((u ^ (u >> 8) ^ (u >> 29) ^ (u >> 32)) & 0xff);
}

std::string pattern(std::int64_t start, std::int64_t length) {
    std::string out(static_cast<std::size_t>(length), '\0');
    for (std::int64_t i = 0; i < length; ++i)
        out[static_cast<std::size_t>(i)] = pattern_byte(start + i);
    return out;
}

std::string read_bytes(VirtualFile& file, std::int32_t count) {
    std::string out(static_cast<std::size_t>(count), '\0');
    const std::int32_t got = file.read(reinterpret_cast<std::uint8_t*>(out.data()), count);
    out.resize(static_cast<std::size_t>(std::max(got, 0)));
    return out;
}

TEST(LargeFileTest, ReaderPositionsPastFourGibibytesReachTheServerAndTheFileThere) {
    test::TempDir dir;
    if (!test::sparse_files_supported(dir.path()))
        GTEST_SKIP() << "the temporary folder's file system keeps no sparse files";
    constexpr std::int64_t kSize = 5 * kGiB + 100;
    LargeDownload download(dir.path(), kSize, pattern);
    RemoteMediaReader reader(download.item(), download.fetcher(), ReaderSettings{});
    EXPECT_EQ(reader.size(), kSize);

    // 4 GiB + 7: a 32-bit position would wrap to 7.
    const std::int64_t at = 4 * kGiB + 7;
    ASSERT_EQ(reader.seek(at, SeekOrigin::Start), at);
    EXPECT_EQ(read_bytes(reader, 64), pattern(at, 64));
    EXPECT_EQ(download.item().reader_position.load(), at + 64);
    ASSERT_EQ(download.log().size(), 1u);
    EXPECT_EQ(download.log()[0].start, at);
    EXPECT_EQ(download.log()[0].length, ReaderSettings{}.min_seg_size);
    EXPECT_EQ(read_at(download.path(), at, 64), pattern(at, 64));

    // The rest of the segment is on disk: read_local hands it over without a fetch.
    std::string local(100, '\0');
    ASSERT_EQ(reader.seek(16, SeekOrigin::Current), at + 80);
    EXPECT_EQ(reader.read_local(reinterpret_cast<std::uint8_t*>(local.data()), 100), 100);
    EXPECT_EQ(local, pattern(at + 80, 100));
    EXPECT_EQ(download.log().size(), 1u);

    // From the end: the segment is cut at the file's size.
    ASSERT_EQ(reader.seek(-10, SeekOrigin::End), kSize - 10);
    EXPECT_EQ(read_bytes(reader, 64), pattern(kSize - 10, 10));
    EXPECT_EQ(download.log().back().start, kSize - 10);
    EXPECT_EQ(download.log().back().length, 10);
    EXPECT_EQ(read_bytes(reader, 64), "");

    // Positions end where a download's size does; a refused move leaves the position.
    EXPECT_EQ(reader.seek(kMaxFileSize, SeekOrigin::Start), kMaxFileSize);
    EXPECT_EQ(reader.seek(1, SeekOrigin::Current), -1);
    EXPECT_EQ(reader.seek(-1, SeekOrigin::Start), -1);
    EXPECT_EQ(download.item().reader_position.load(), kMaxFileSize);
    EXPECT_EQ(read_bytes(reader, 64), "");

    const std::vector<ByteRange> ranges = download.item().lock()->ranges.items();
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], (ByteRange{at, ReaderSettings{}.min_seg_size}));
    EXPECT_EQ(ranges[1], (ByteRange{kSize - 10, 10}));
    EXPECT_LT(test::allocated_bytes(download.path()), kMiB);
}

TEST(LargeFileTest, AnOpenDmlVideoAboveFourGibibytesDecodesItsLastFramesFromItsLastBytes) {
    test::TempDir dir;
    std::string why;
    const auto fixture = test::make_sparse_odml(dir.path(), "large.avi", why);
    if (!fixture)
        GTEST_SKIP() << why;
    ASSERT_GT(fixture->size, 4 * kGiB);
    ASSERT_GT(fixture->tail, fixture->size - kMiB);
    LargeDownload download(dir.path(), fixture->size, [&](std::int64_t start, std::int64_t length) {
        return read_at(fixture->path, start, length);
    });
    RemoteMediaReader reader(download.item(), download.fetcher(), ReaderSettings{});

    MediaOpenResult result = MediaOpenResult::OpenFailed;
    const auto media = open_media_file(reader, MediaOpenOptions{}, result);
    ASSERT_EQ(result, MediaOpenResult::Ok);
    ASSERT_NE(media, nullptr);
    const MediaHeader& header = media->header();
    EXPECT_EQ(header.frame_count, static_cast<std::uint32_t>(test::SparseOdml::kFrames));
    EXPECT_EQ(header.fourcc, "MJPG");

    // Frames of both ends, as the complete small video decodes them.
    const auto& reference =
        test::reference_frames(test::video_fixture("mjpeg.avi"), static_cast<int>(header.width),
                               static_cast<int>(header.height));
    ASSERT_EQ(reference.size(), static_cast<std::size_t>(test::SparseOdml::kFrames));
    for (const std::int64_t frame : {std::int64_t{8}, std::int64_t{2}, std::int64_t{9}}) {
        Picture picture;
        ASSERT_EQ(media->decode_frame(frame, picture), FrameResult::Ok) << "frame " << frame;
        const test::PixelDifference d =
            test::compare_pixels(picture.rgb, reference[static_cast<std::size_t>(frame)]);
        EXPECT_LE(d.mean, kMeanPixelTolerance) << "frame " << frame;
        EXPECT_LE(d.largest, kLargestPixelTolerance) << "frame " << frame;
    }

    // Only the header, the first frames and their index at the start and the last frames and
    // their index at the end were asked for.
    EXPECT_LT(download.fetched_bytes(), kMiB);
    for (const test::FetchedSpan& span : download.log()) {
        const bool head = span.start + span.length <= kMiB;
        const bool tail = span.start >= fixture->size - kMiB;
        EXPECT_TRUE(head || tail) << "[" << span.start << ", +" << span.length << ")";
    }
    for (const ByteRange& r : download.item().lock()->ranges.items())
        EXPECT_EQ(read_at(download.path(), r.start, r.length),
                  read_at(fixture->path, r.start, r.length))
            << "range at " << r.start;
    EXPECT_LT(test::allocated_bytes(download.path()), 4 * kMiB);
}

}  // namespace
}  // namespace rg
