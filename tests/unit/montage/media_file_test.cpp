#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "media_file_fixture.h"
#include "montage/auto_montage.h"
#include "montage/media_file.h"
#include "montage/montage_work.h"
#include "montage/remote_media_reader.h"
#include "support/fault_http_server.h"
#include "support/recording_montage_view.h"
#include "support/temp_dir.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace rg {
namespace {

using test::FakeRemoteFile;
using test::video_fixture;

// The damaged files below make FFmpeg complain on the console; the results are what counts.
class QuietFfmpeg : public ::testing::Environment {
  public:
    void SetUp() override { av_log_set_level(AV_LOG_QUIET); }
};
const ::testing::Environment* const kQuietFfmpeg =
    ::testing::AddGlobalTestEnvironment(new QuietFfmpeg);

// Bytes fetched may exceed what the frames, the header and the index occupy by this factor.
constexpr double kFetchAllowance = 1.2;
constexpr double kMeanPixelTolerance = 1.0;
constexpr int kLargestPixelTolerance = 48;

// Where the chunks of a fixture lie, read from the complete file.
struct ChunkMap {
    struct Chunk {
        std::int64_t timestamp, start, end;
    };
    std::vector<Chunk> video;
    std::int64_t first_chunk = 0;  // the header ends here
    std::int64_t tail = 0;         // the index starts here
    std::int64_t file_size = 0;

    // Bytes of the header, the index and every chunk from `key` to `frame` for each pair.
    std::int64_t minimum(const std::vector<std::pair<std::int64_t, std::int64_t>>& frames) const {
        std::vector<std::pair<std::int64_t, std::int64_t>> spans = {{0, first_chunk},
                                                                    {tail, file_size}};
        for (const auto& [key, frame] : frames) {
            for (const Chunk& c : video) {
                if (c.timestamp >= key && c.timestamp <= frame)
                    spans.push_back({c.start, c.end});
            }
        }
        std::sort(spans.begin(), spans.end());
        std::int64_t total = 0, reach = 0;
        for (const auto& [start, end] : spans) {
            const std::int64_t from = std::max(start, reach);
            if (end > from)
                total += end - from;
            reach = std::max(reach, end);
        }
        return total;
    }
};

ChunkMap chunk_map(const std::string& path) {
    ChunkMap map;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
        return map;
    map.file_size = avio_size(context->pb);
    map.first_chunk = map.file_size;
    for (unsigned s = 0; s < context->nb_streams; ++s) {
        AVStream* stream = context->streams[s];
        for (int i = 0; i < avformat_index_get_entries_count(stream); ++i) {
            const AVIndexEntry* e = avformat_index_get_entry(stream, i);
            const std::int64_t end = e->pos + 8 + e->size + (e->size & 1);
            map.first_chunk = std::min(map.first_chunk, e->pos);
            map.tail = std::max(map.tail, end);
            if (s == 0)
                map.video.push_back({e->timestamp, e->pos, end});
        }
    }
    avformat_close_input(&context);
    return map;
}

// Counts the reads that reach the remote file.
class CountingFile final : public VirtualFile {
  public:
    explicit CountingFile(VirtualFile& inner) : inner_(inner) {}
    std::int64_t size() override { return inner_.size(); }
    std::int32_t read_local(std::uint8_t* buffer, std::int32_t count) override {
        const std::int32_t got = inner_.read_local(buffer, count);
        local_bytes += got;
        return got;
    }
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override {
        return inner_.seek(offset, origin);
    }
    std::int32_t read(std::uint8_t* buffer, std::int32_t count) override {
        const std::int32_t got = inner_.read(buffer, count);
        ++reads;
        bytes += got;
        return got;
    }
    std::int64_t reads = 0;
    std::int64_t bytes = 0;

    std::int64_t local_bytes = 0;

  private:
    VirtualFile& inner_;
};

class OpenedVideo {
  public:
    explicit OpenedVideo(std::string content, bool any_format = false)
        : remote_(std::make_unique<FakeRemoteFile>(std::move(content))),
          reader_(remote_->item(), remote_->fetcher(), ReaderSettings{}),
          counting_(reader_) {
        MediaOpenOptions options;
        options.any_format = any_format;
        media_ = open_media_file(counting_, options, result_);
    }
    OpenedVideo(const OpenedVideo&) = delete;
    OpenedVideo& operator=(const OpenedVideo&) = delete;
    static OpenedVideo fixture(const std::string& name, bool any_format = false) {
        return OpenedVideo(test::read_file(video_fixture(name)), any_format);
    }

    MediaOpenResult result() const { return result_; }
    MediaFile& media() { return *media_; }
    bool opened() const { return media_ != nullptr; }
    FakeRemoteFile& remote() { return *remote_; }
    CountingFile& counting() { return counting_; }

  private:
    std::unique_ptr<FakeRemoteFile> remote_;
    RemoteMediaReader reader_;
    CountingFile counting_;
    MediaOpenResult result_ = MediaOpenResult::OpenFailed;
    std::unique_ptr<MediaFile> media_;
};

// Decodes `frame` and compares it with picture `shown` of the complete file's decode (the same
// number unless empty chunks come before it).
void expect_frame(MediaFile& media, const std::string& name, std::int64_t frame,
                  std::int64_t shown = -1) {
    if (shown < 0)
        shown = frame;
    const MediaHeader& h = media.header();
    const auto& reference = test::reference_frames(video_fixture(name), static_cast<int>(h.width),
                                                   static_cast<int>(h.height));
    ASSERT_LT(static_cast<std::size_t>(shown), reference.size()) << name;
    Picture picture;
    ASSERT_EQ(media.decode_frame(frame, picture), FrameResult::Ok) << name << " frame " << frame;
    EXPECT_EQ(picture.width, static_cast<std::int32_t>(h.width));
    EXPECT_EQ(picture.height, static_cast<std::int32_t>(h.height));
    const test::PixelDifference d =
        test::compare_pixels(picture.rgb, reference[static_cast<std::size_t>(shown)]);
    EXPECT_LE(d.mean, kMeanPixelTolerance) << name << " frame " << frame;
    EXPECT_LE(d.largest, kLargestPixelTolerance) << name << " frame " << frame;
}

struct HeaderCase {
    const char* name;
    std::uint32_t width, height, rate, scale, frames;
    const char* fourcc;
    CodecStatus status;
    const char* codec;
};

TEST(MediaFileTest, HeaderValuesFourccAndDecoderOfEachVideo) {
    const HeaderCase cases[] = {
        {"xvid.avi", 160, 120, 25, 1, 75, "XVID", CodecStatus::Found, "MPEG-4 part 2"},
        {"mjpeg.avi", 160, 120, 10, 1, 10, "MJPG", CodecStatus::Found, "MJPEG (Motion JPEG)"},
        {"h264.avi", 160, 120, 25, 1, 50, "H264", CodecStatus::Found, "H.264"},
        {"pal8.avi", 64, 48, 10, 1, 10, "....", CodecStatus::Found, "raw video"},
        {"keyframe0.avi", 160, 120, 25, 1, 100, "XVID", CodecStatus::Found, "MPEG-4 part 2"},
        {"ntsc.avi", 160, 120, 30000, 1001, 30, "XVID", CodecStatus::Found, "MPEG-4 part 2"},
        {"odml.avi", 160, 120, 25, 1, 75, "XVID", CodecStatus::Found, "MPEG-4 part 2"},
        {"unknown_fourcc.avi", 160, 120, 25, 1, 50, "QZ9X", CodecStatus::NotFound, ""},
        {"gap.avi", 80, 60, 10, 1, 10, "MJPG", CodecStatus::Found, "MJPEG (Motion JPEG)"},
    };
    for (const HeaderCase& c : cases) {
        OpenedVideo video = OpenedVideo::fixture(c.name);
        ASSERT_EQ(video.result(), MediaOpenResult::Ok) << c.name;
        const MediaHeader& h = video.media().header();
        EXPECT_EQ(h.width, c.width) << c.name;
        EXPECT_EQ(h.height, c.height) << c.name;
        EXPECT_EQ(h.rate, c.rate) << c.name;
        EXPECT_EQ(h.scale, c.scale) << c.name;
        EXPECT_EQ(h.frame_count, c.frames) << c.name;
        EXPECT_EQ(h.fourcc, c.fourcc) << c.name;
        EXPECT_EQ(video.media().codec_status(), c.status) << c.name;
        EXPECT_EQ(video.media().codec_name().rfind(c.codec, 0), 0u)
            << c.name << ": " << video.media().codec_name();
        EXPECT_TRUE(video.remote().spans_disjoint()) << c.name;
    }
}

TEST(MediaFileTest, OpeningReadsOnlyTheHeaderAndTheIndex) {
    for (const char* name : {"xvid.avi", "odml.avi", "ntsc.avi", "h264.avi"}) {
        OpenedVideo video = OpenedVideo::fixture(name);
        ASSERT_TRUE(video.opened()) << name;
        const ChunkMap map = chunk_map(video_fixture(name));
        const std::int64_t minimum = map.minimum({});
        const std::int64_t fetched = video.remote().fetched_bytes();
        EXPECT_LE(fetched, minimum * kFetchAllowance) << name;
        RecordProperty(std::string(name) + "_open_fetched", std::to_string(fetched));
        RecordProperty(std::string(name) + "_open_requests",
                       std::to_string(video.remote().log().size()));
        RecordProperty(std::string(name) + "_open_reads", std::to_string(video.counting().reads));
        RecordProperty(std::string(name) + "_open_bytes", std::to_string(video.counting().bytes));
    }
}

TEST(MediaFileTest, KeyFramesComeFromTheIndex) {
    struct KeyCase {
        const char* name;
        std::int64_t frame, key;
    };
    const KeyCase cases[] = {
        {"xvid.avi", 0, 0},       {"xvid.avi", 24, 0},  {"xvid.avi", 25, 25}, {"xvid.avi", 30, 25},
        {"xvid.avi", 74, 50},     {"xvid.avi", -1, -1}, {"odml.avi", 30, 25}, {"odml.avi", 74, 50},
        {"keyframe0.avi", 99, 0}, {"mjpeg.avi", 7, 7},  {"pal8.avi", 5, 5},   {"ntsc.avi", 19, 10},
        {"h264.avi", 49, 25},     {"h264.avi", 24, 0},
    };
    for (const KeyCase& c : cases) {
        OpenedVideo video = OpenedVideo::fixture(c.name);
        ASSERT_TRUE(video.opened()) << c.name;
        EXPECT_EQ(video.media().key_frame_at_or_before(c.frame), c.key)
            << c.name << " frame " << c.frame;
    }
}

TEST(MediaFileTest, DecodedFramesMatchTheCompleteFileAndFetchNearTheMinimum) {
    struct DecodeCase {
        const char* name;
        std::vector<std::int64_t> frames;
    };
    const DecodeCase cases[] = {
        {"xvid.avi", {30, 74, 0}}, {"mjpeg.avi", {9, 0}},   {"h264.avi", {7, 30, 49, 0}},
        {"pal8.avi", {3, 9}},      {"keyframe0.avi", {60}}, {"ntsc.avi", {15, 29}},
        {"odml.avi", {60, 12}},
    };
    for (const DecodeCase& c : cases) {
        OpenedVideo video = OpenedVideo::fixture(c.name);
        ASSERT_TRUE(video.opened()) << c.name;
        std::vector<std::pair<std::int64_t, std::int64_t>> wanted;
        for (std::int64_t frame : c.frames) {
            expect_frame(video.media(), c.name, frame);
            wanted.push_back({video.media().key_frame_at_or_before(frame), frame});
        }
        EXPECT_TRUE(video.remote().spans_disjoint()) << c.name;
        const std::int64_t minimum = chunk_map(video_fixture(c.name)).minimum(wanted);
        EXPECT_LE(video.remote().fetched_bytes(), minimum * kFetchAllowance) << c.name;
    }
}

TEST(MediaFileTest, AKeyFrameOfAReorderingDecoderFetchesOnlyItsOwnChunk) {
    // h264.avi has B-frames: without draining, the decoder would wait for the packets after the
    // key frame (and the audio chunks between them) before putting it out.
    const ChunkMap map = chunk_map(video_fixture("h264.avi"));
    for (std::int64_t key : {25, 0}) {
        OpenedVideo video = OpenedVideo::fixture("h264.avi");
        ASSERT_TRUE(video.opened());
        ASSERT_EQ(video.media().key_frame_at_or_before(key), key);
        const std::size_t opened = video.remote().log().size();
        expect_frame(video.media(), "h264.avi", key);
        const auto& chunk = map.video[static_cast<std::size_t>(key)];
        const auto& log = video.remote().log();
        EXPECT_LE(log.size(), opened + 1) << key;
        for (std::size_t i = opened; i < log.size(); ++i) {
            EXPECT_GE(log[i].start + FakeRemoteFile::kBlock, chunk.start) << key;
            EXPECT_LE(log[i].start + log[i].length, chunk.end + FakeRemoteFile::kBlock) << key;
        }
        // The next frame still decodes, from the key frame already on disk.
        expect_frame(video.media(), "h264.avi", key + 1);
        expect_frame(video.media(), "h264.avi", key);
        EXPECT_TRUE(video.remote().spans_disjoint()) << key;
    }
}

TEST(MediaFileTest, DecodingStartsAtTheNearestKeyFrameNotAtTheFirst) {
    OpenedVideo video = OpenedVideo::fixture("xvid.avi");
    ASSERT_TRUE(video.opened());
    expect_frame(video.media(), "xvid.avi", 30);
    const ChunkMap map = chunk_map(video_fixture("xvid.avi"));
    // Frames 1 to 24 lie between the first key frame and the one at 25: none of them is fetched.
    const std::int64_t from = map.video[1].start, to = map.video[24].end;
    for (const test::FetchedSpan& span : video.remote().log()) {
        EXPECT_FALSE(span.start < to && span.start + span.length > from + FakeRemoteFile::kBlock)
            << span.start << "+" << span.length;
    }
}

TEST(MediaFileTest, FollowingFramesContinueWithoutFetchingAgain) {
    OpenedVideo video = OpenedVideo::fixture("xvid.avi");
    ASSERT_TRUE(video.opened());
    const ChunkMap map = chunk_map(video_fixture("xvid.avi"));
    expect_frame(video.media(), "xvid.avi", 25);
    for (std::int64_t frame = 26; frame <= 28; ++frame) {
        const std::int64_t before = video.remote().fetched_bytes();
        expect_frame(video.media(), "xvid.avi", frame);
        const auto& chunk = map.video[static_cast<std::size_t>(frame)];
        EXPECT_LE(video.remote().fetched_bytes() - before, chunk.end - chunk.start + 1024);
    }
    // The same frame again, and one before: served, from the key frame where needed.
    expect_frame(video.media(), "xvid.avi", 28);
    expect_frame(video.media(), "xvid.avi", 27);
    EXPECT_TRUE(video.remote().spans_disjoint());
}

TEST(MediaFileTest, EmptyChunksRepeatTheFrameBeforeThem) {
    OpenedVideo video = OpenedVideo::fixture("gap.avi");
    ASSERT_TRUE(video.opened());
    // Frames 3 and 4 are empty chunks: the complete file decodes to frames 0-2 and 5-9 only.
    EXPECT_EQ(video.media().key_frame_at_or_before(4), 2);
    const std::pair<std::int64_t, std::int64_t> cases[] = {{4, 2}, {3, 2}, {5, 3}, {9, 7}, {2, 2}};
    for (const auto& [frame, shown] : cases)
        expect_frame(video.media(), "gap.avi", frame, shown);
}

TEST(MediaFileTest, AnEmptyChunkInAReorderedStreamRepeatsTheFrameBeforeIt) {
    // H.264 with B-frames and MP3 audio; chunk 5 is empty where a dropped frame made the decode
    // times jump. The complete file decodes to 19 pictures: frame 5 shows picture 4, and every
    // frame after it the picture one before its number.
    const std::string name = "h264_mp3.avi";
    const auto shown = [](std::int64_t frame) {
        return frame <= 5 ? std::min<std::int64_t>(frame, 4) : frame - 1;
    };
    {
        OpenedVideo video = OpenedVideo::fixture(name);
        ASSERT_TRUE(video.opened());
        ASSERT_EQ(video.media().header().frame_count, 20u);
        EXPECT_EQ(video.media().key_frame_at_or_before(15), 11);
        for (std::int64_t frame = 0; frame < 20; ++frame)
            expect_frame(video.media(), name, frame, shown(frame));
    }
    // Each frame on its own, from its key frame, as the AutoMontage and Get Frame ask for them.
    for (std::int64_t frame : {19, 11, 12, 5, 6, 4, 1}) {
        OpenedVideo video = OpenedVideo::fixture(name);
        ASSERT_TRUE(video.opened());
        expect_frame(video.media(), name, frame, shown(frame));
    }
}

TEST(MediaFileTest, FramesFarFromTheirKeyFrameDecodeThroughInterleavedAudio) {
    // One key frame at 0, and MP3 audio that the demuxer reads apart from the video: reaching
    // the last frames reads the same bytes on disk many times over.
    const std::string name = "h264_mp3_gop.avi";
    for (std::int64_t frame : {140, 125, 60}) {
        OpenedVideo video = OpenedVideo::fixture(name);
        ASSERT_TRUE(video.opened());
        ASSERT_EQ(video.media().key_frame_at_or_before(frame), 0);
        expect_frame(video.media(), name, frame, frame);
    }
}

TEST(MediaFileTest, AFourccWithoutDecoderOpensButDecodesNothing) {
    OpenedVideo video = OpenedVideo::fixture("unknown_fourcc.avi");
    ASSERT_EQ(video.result(), MediaOpenResult::Ok);
    EXPECT_EQ(video.media().key_frame_at_or_before(30), 25);
    Picture picture;
    EXPECT_EQ(video.media().decode_frame(3, picture), FrameResult::NoDecoder);
    EXPECT_TRUE(picture.empty());
}

TEST(MediaFileTest, FramesOutsideTheVideoAreMissing) {
    OpenedVideo video = OpenedVideo::fixture("mjpeg.avi");
    ASSERT_TRUE(video.opened());
    Picture picture;
    EXPECT_EQ(video.media().decode_frame(-1, picture), FrameResult::FrameMissing);
    EXPECT_EQ(video.media().decode_frame(10, picture), FrameResult::FrameMissing);
    EXPECT_TRUE(picture.empty());
}

TEST(MediaFileTest, OtherContainersOpenWhenAnyFormatIsAllowed) {
    for (const char* name : {"clip.mp4", "clip.mkv"}) {
        EXPECT_EQ(OpenedVideo::fixture(name).result(), MediaOpenResult::NotAvi) << name;

        OpenedVideo video = OpenedVideo::fixture(name, true);
        ASSERT_EQ(video.result(), MediaOpenResult::Ok) << name;
        const MediaHeader& h = video.media().header();
        EXPECT_EQ(h.width, 160u);
        EXPECT_EQ(h.height, 120u);
        EXPECT_EQ(h.rate, 25u);
        EXPECT_EQ(h.scale, 1u);
        EXPECT_EQ(h.frame_count, 50u) << name;
        EXPECT_EQ(video.media().codec_status(), CodecStatus::Found);
        // Key frames at 0 and 25, numbered as shown although the MP4 index holds decode times.
        EXPECT_EQ(video.media().key_frame_at_or_before(30), 25) << name;
        EXPECT_EQ(video.media().key_frame_at_or_before(24), 0) << name;
        for (std::int64_t frame : {0, 30, 49, 31})
            expect_frame(video.media(), name, frame);
        EXPECT_TRUE(video.remote().spans_disjoint()) << name;
    }
    OpenedVideo avi = OpenedVideo::fixture("xvid.avi", true);
    ASSERT_EQ(avi.result(), MediaOpenResult::Ok);
    expect_frame(avi.media(), "xvid.avi", 30);
}

// ---- Damaged and hostile files ----

std::string xvid_bytes() {
    return test::read_file(video_fixture("xvid.avi"));
}

void put32(std::string& data, std::size_t at, std::uint32_t value) {
    std::memcpy(data.data() + at, &value, sizeof value);
}

// Offsets in xvid.avi as the muxer lays it out.
constexpr std::size_t kAvihTotalFrames = 24 + 8 + 16;
constexpr std::size_t kStrhLength = 100 + 8 + 32;
constexpr std::size_t kStrfWidth = 164 + 8 + 4;
constexpr std::size_t kStrfHeight = 164 + 8 + 8;

std::size_t find_tag(const std::string& data, const char* tag, std::size_t from = 0) {
    return data.find(std::string(tag, 4), from);
}

TEST(MediaFileTest, TheIndexComesInOneSpan) {
    // xvid.avi with its idx1 grown by entries of a stream the file does not have (the demuxer
    // skips them), so that the index is far larger than the reads that parse it.
    std::string data = xvid_bytes();
    const std::size_t idx1 = find_tag(data, "idx1");
    ASSERT_NE(idx1, std::string::npos);
    constexpr int kExtraEntries = 4096;
    std::string entry(16, '\0');
    std::memcpy(entry.data(), "99dc", 4);
    for (int i = 0; i < kExtraEntries; ++i)
        data += entry;
    put32(data, idx1 + 4, static_cast<std::uint32_t>(data.size() - idx1 - 8));
    put32(data, 4, static_cast<std::uint32_t>(data.size() - 8));
    OpenedVideo video(data);
    ASSERT_TRUE(video.opened());
    EXPECT_EQ(video.media().header().frame_count, 75u);
    const ChunkMap map = chunk_map(video_fixture("xvid.avi"));
    int index_requests = 0;
    for (const test::FetchedSpan& span : video.remote().log()) {
        if (span.start + span.length > static_cast<std::int64_t>(idx1))
            ++index_requests;
    }
    // The read that meets the chunk's header, then the rest of the chunk at once.
    EXPECT_LE(index_requests, 2);
    const auto minimum = map.first_chunk + static_cast<std::int64_t>(data.size() - idx1);
    EXPECT_LE(video.remote().fetched_bytes(), minimum * kFetchAllowance);
    expect_frame(video.media(), "xvid.avi", 30);
    EXPECT_TRUE(video.remote().spans_disjoint());
}

TEST(MediaFileTest, ImplausibleHeadersAreRefused) {
    struct Patch {
        std::size_t at;
        std::uint32_t value;
        MediaOpenResult result;
    };
    const Patch patches[] = {
        {kStrfWidth, 16385, MediaOpenResult::InfoUnreadable},
        {kStrfHeight, 20000, MediaOpenResult::InfoUnreadable},
        {kStrfWidth, 0, MediaOpenResult::InfoUnreadable},
        {100 + 8, 0x73647561 /* auds */, MediaOpenResult::NoVideoStream},
    };
    for (const Patch& p : patches) {
        std::string data = xvid_bytes();
        put32(data, p.at, p.value);
        EXPECT_EQ(OpenedVideo(data).result(), p.result) << p.at << "=" << p.value;
    }
    // Too short for an AVI at all, or cut inside the header.
    const std::pair<std::size_t, MediaOpenResult> cuts[] = {{0, MediaOpenResult::NotAvi},
                                                            {11, MediaOpenResult::NotAvi},
                                                            {100, MediaOpenResult::DamagedHeader},
                                                            {3000, MediaOpenResult::DamagedHeader}};
    for (const auto& [cut, result] : cuts)
        EXPECT_EQ(OpenedVideo(xvid_bytes().substr(0, cut)).result(), result) << cut;
}

TEST(MediaFileTest, AFileThatDoesNotOpenSaysWhatIsWrongWithIt) {
    const std::string text = "This is not a video, only text served under a video's name.\n";
    EXPECT_EQ(OpenedVideo(text).result(), MediaOpenResult::NotAvi);
    EXPECT_EQ(OpenedVideo::fixture("clip.mp4").result(), MediaOpenResult::NotAvi);
    EXPECT_EQ(OpenedVideo::fixture("damaged_header.avi").result(), MediaOpenResult::DamagedHeader);
    EXPECT_EQ(OpenedVideo(text, true).result(), MediaOpenResult::UnknownFormat);
    // A fetch that fails is no fault of the file.
    auto remote = std::make_unique<FakeRemoteFile>(xvid_bytes());
    remote->fail_after(0);
    RemoteMediaReader reader(remote->item(), remote->fetcher(), ReaderSettings{});
    MediaOpenResult result = MediaOpenResult::Ok;
    EXPECT_EQ(open_media_file(reader, MediaOpenOptions{}, result), nullptr);
    EXPECT_EQ(result, MediaOpenResult::OpenFailed);
}

TEST(MediaFileTest, APlaylistOpensNoOtherInput) {
    // Playlists whose entries the demuxer would fetch by itself, outside the download: a local
    // server logs every request that reaches it.
    test::FaultHttpServer server;
    ASSERT_TRUE(server.ok()) << server.error();
    const std::string playlists[] = {
        "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000\n" + server.url("/gen/512/variant.m3u8") +
            "\n",
        "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" + server.url("/gen/4096/seg.ts") +
            "\n#EXT-X-ENDLIST\n",
    };
    for (const std::string& playlist : playlists) {
        OpenedVideo video(playlist, true);
        EXPECT_EQ(video.result(), MediaOpenResult::UnknownFormat) << playlist;
        EXPECT_LE(video.remote().fetched_bytes(), static_cast<std::int64_t>(playlist.size()));
    }
    EXPECT_EQ(server.stats().requests, 0);
}

TEST(MediaFileTest, ATruncatedAviKeepsTheMontageInOrder) {
    // The file ends after some 40 of the 75 frames its header counts, without an index: its key
    // frames are unknown, and the frames past the cut are missing, not the last one repeated.
    OpenedVideo video = OpenedVideo::fixture("truncated.avi");
    ASSERT_TRUE(video.opened());
    EXPECT_EQ(video.media().key_frame_at_or_before(37), -1);
    test::RecordingMontageView view;
    MontageWork work(view);
    work.item = &video.remote().item();
    work.media = &video.media();
    run_auto_montage(work, 7);
    const std::vector<std::int32_t> numbers = view.storyboard_numbers();
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(numbers.front(), 8);
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end());
    Picture picture;
    EXPECT_EQ(video.media().decode_frame(74, picture), FrameResult::FrameMissing);
}

TEST(MediaFileTest, AFrameCountBeyondTheIndexIsCutToTheIndex) {
    std::string data = xvid_bytes();
    put32(data, kStrhLength, 1000);
    put32(data, kAvihTotalFrames, 1000);
    OpenedVideo video(data);
    ASSERT_TRUE(video.opened());
    EXPECT_EQ(video.media().header().frame_count, 75u);
}

TEST(MediaFileTest, IndexEntriesOutsideTheFileEndInAMissingFrame) {
    std::string data = xvid_bytes();
    const std::size_t idx1 = find_tag(data, "idx1");
    ASSERT_NE(idx1, std::string::npos);
    for (std::size_t entry = idx1 + 8 + 16; entry + 16 <= data.size(); entry += 16)
        put32(data, entry + 8, 0x7ff00000);  // every offset but the first
    OpenedVideo video(data);
    ASSERT_TRUE(video.opened());
    Picture picture;
    EXPECT_EQ(video.media().decode_frame(30, picture), FrameResult::FrameMissing);
    EXPECT_TRUE(video.remote().spans_disjoint());
}

TEST(MediaFileTest, AChunkLargerThanTheFileEndsInAMissingFrame) {
    std::string data = xvid_bytes();
    const ChunkMap map = chunk_map(video_fixture("xvid.avi"));
    put32(data, static_cast<std::size_t>(map.video[25].start) + 4, 0x7fffff00);
    OpenedVideo video(data);
    ASSERT_TRUE(video.opened());
    Picture picture;
    EXPECT_EQ(video.media().decode_frame(25, picture), FrameResult::FrameMissing);
    // The file stays usable for frames that do not need the damaged chunk.
    expect_frame(video.media(), "xvid.avi", 10);
}

TEST(MediaFileTest, AFailedFetchFailsTheOpenOrTheFrame) {
    {
        std::string data = xvid_bytes();
        auto remote = std::make_unique<FakeRemoteFile>(data);
        remote->fail_after(2);
        RemoteMediaReader reader(remote->item(), remote->fetcher(), ReaderSettings{});
        MediaOpenResult result = MediaOpenResult::Ok;
        EXPECT_EQ(open_media_file(reader, MediaOpenOptions{}, result), nullptr);
        EXPECT_EQ(result, MediaOpenResult::OpenFailed);
        EXPECT_TRUE(remote->item().montage_abort.load());
    }
    OpenedVideo video = OpenedVideo::fixture("xvid.avi");
    ASSERT_TRUE(video.opened());
    video.remote().fail_after(static_cast<int>(video.remote().log().size()));
    Picture picture;
    EXPECT_EQ(video.media().decode_frame(50, picture), FrameResult::FrameMissing);
    EXPECT_TRUE(video.remote().item().montage_abort.load());
    // Once the flag is cleared the next attempt fetches the rest and succeeds.
    video.remote().fail_after(-1);
    video.remote().item().montage_abort = false;
    expect_frame(video.media(), "xvid.avi", 50);
}

}  // namespace
}  // namespace rg
