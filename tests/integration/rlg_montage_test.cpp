// rlg montage and rlg frame against nginx: the frames match what FFmpeg decodes from the whole
// file, every byte fetched counts for the download, and refusals end the tool with an error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/list_file.h"
#include "support/fault_http_server.h"
#include "support/legacy_list.h"
#include "support/nginx_server.h"
#include "support/recording_host.h"
#include "support/rlg_process.h"
#include "support/sparse_odml.h"
#include "support/temp_dir.h"

extern char** environ;

namespace rg {
namespace {

using namespace std::chrono_literals;

constexpr auto kLogDeadline = 10s;
// Largest mean and largest single difference of a colour channel between rlg's frame and
// FFmpeg's: both decode with FFmpeg, only the conversion to RGB may round differently.
constexpr double kMeanChannelTolerance = 1.0;
constexpr int kMaxChannelTolerance = 16;

std::string fixture_folder() {
    return (std::filesystem::path(RG_FIXTURE_DIR) / "video").string();
}

std::string fixture(const std::string& name) {
    return fixture_folder() + "/" + name;
}

struct RunResult {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// Runs a program to its end with its output and error output kept in files of `dir`.
RunResult run_program(std::vector<std::string> argv, const test::TempDir& dir) {
    const std::string out_path = dir.file("stdout.txt");
    const std::string err_path = dir.file("stderr.txt");
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    RunResult result;
    if (rc != 0)
        return result;
    result.exit_code = test::wait_exit(pid);
    result.out = test::read_file(out_path);
    result.err = test::read_file(err_path);
    return result;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The 1-based numbers of the "frame N h:mm:ss.mmm" lines.
std::vector<int> frame_numbers(const std::string& out) {
    static const std::regex line(R"(^frame (\d+) \d+:\d\d:\d\d\.\d\d\d$)");
    std::vector<int> numbers;
    for (const std::string& l : lines_of(out)) {
        std::smatch m;
        if (std::regex_match(l, m, line))
            numbers.push_back(std::stoi(m[1]));
    }
    return numbers;
}

// The bytes of the last line, "fetched B bytes in R requests"; -1 without one.
std::int64_t fetched_bytes(const std::string& out) {
    static const std::regex line(R"(^fetched (\d+) bytes in (\d+) requests$)");
    const auto lines = lines_of(out);
    std::smatch m;
    if (lines.empty() || !std::regex_match(lines.back(), m, line))
        return -1;
    return std::stoll(m[1]);
}

struct Rgb24 {
    int width = 0;
    int height = 0;
    std::string pixels;  // top-down rows of R, G, B
};

std::uint32_t le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// A 24-bit bottom-up BMP as written by rlg frame.
std::optional<Rgb24> read_bmp(const std::string& path) {
    const std::string b = test::read_file(path);
    if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || le32(b, 28) != 24)
        return std::nullopt;
    Rgb24 picture;
    picture.width = static_cast<int>(le32(b, 18));
    picture.height = static_cast<int>(le32(b, 22));
    const std::size_t offset = le32(b, 10);
    const std::size_t row = (static_cast<std::size_t>(picture.width) * 3 + 3) / 4 * 4;
    if (picture.width <= 0 || picture.height <= 0 || b.size() < offset + row * picture.height)
        return std::nullopt;
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::size_t at = offset + row * static_cast<std::size_t>(y);
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t p = at + static_cast<std::size_t>(x) * 3;
            picture.pixels += {b[p + 2], b[p + 1], b[p]};
        }
    }
    return picture;
}

// Frame `index` (0-based, in decoding order of presentation) of the whole local video as FFmpeg
// decodes it.
std::string ffmpeg_frame(const std::string& video, int index, const test::TempDir& dir) {
    const std::string raw = dir.file("ffmpeg.rgb");
    const RunResult r = run_program({"ffmpeg", "-v", "error", "-y", "-i", video, "-vf",
                                     "select=eq(n\\," + std::to_string(index) + ")", "-vsync", "0",
                                     "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", raw},
                                    dir);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return test::read_file(raw);
}

// One request of nginx's combined log: method, status and body bytes.
struct LoggedRequest {
    std::string method;
    int status = 0;
    std::int64_t body_bytes = 0;
};

std::vector<LoggedRequest> read_access_log(const std::string& path) {
    static const std::regex line(R"re("(\w+) [^"]*" (\d{3}) (\d+))re");
    std::vector<LoggedRequest> requests;
    for (const std::string& l : lines_of(test::read_file(path))) {
        std::smatch m;
        if (std::regex_search(l, m, line))
            requests.push_back({m[1], std::stoi(m[2]), std::stoll(m[3])});
    }
    return requests;
}

std::int64_t body_bytes(const std::vector<LoggedRequest>& requests) {
    std::int64_t sum = 0;
    for (const auto& r : requests)
        sum += r.body_bytes;
    return sum;
}

bool ffmpeg_available() {
    static const bool available = [] {
        test::TempDir dir;
        return run_program({"ffmpeg", "-version"}, dir).exit_code == 0;
    }();
    return available;
}

class RlgMontageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::NginxServer::available())
            GTEST_SKIP() << test::NginxServer::missing_message();
        std::filesystem::create_directories(data_);
        nginx_.emplace(test::NginxServer::Options{.server_config = "access_log \"" + access_log_ +
                                                                   "\" combined;"});
        for (const char* name : {"xvid.avi", "h264.avi", "clip.mp4", "unknown_fourcc.avi",
                                 "truncated.avi", "damaged_header.avi"}) {
            std::filesystem::copy_file(fixture(name), nginx_->root() + "/" + name);
        }
        // An MP4 served under an AVI's name.
        std::filesystem::copy_file(fixture("clip.mp4"), nginx_->root() + "/not_avi.avi");
    }

    test::RlgResult rlg(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", data_});
        return test::run_rlg(args);
    }

    std::string url(const std::string& name) const { return nginx_->url("/" + name); }

    // The requests nginx has logged, once their body bytes add up to at least `bytes` (nginx
    // writes a line just after the response went out).
    std::vector<LoggedRequest> logged_requests(std::int64_t bytes) {
        const auto deadline = std::chrono::steady_clock::now() + kLogDeadline;
        for (;;) {
            auto requests = read_access_log(access_log_);
            if (body_bytes(requests) >= bytes || std::chrono::steady_clock::now() > deadline)
                return requests;
            std::this_thread::sleep_for(10ms);
        }
    }

    // rlg frame of frame `number` as a BMP against FFmpeg's decoding of the whole file, or of
    // `reference` when the served video is made from another.
    void expect_frame_matches(const std::string& video, int number,
                              const std::string& reference = {}) {
        SCOPED_TRACE(video + " frame " + std::to_string(number));
        const std::string bmp = out_ + "/frame" + std::to_string(number) + ".bmp";
        const test::RlgResult r =
            rlg({"frame", url(video), "--number", std::to_string(number), "-d", out_, "-o", bmp});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(frame_numbers(r.out), std::vector<int>({number})) << r.out;
        const auto ours = read_bmp(bmp);
        ASSERT_TRUE(ours.has_value());
        const std::string theirs =
            ffmpeg_frame(reference.empty() ? fixture(video) : reference, number - 1, run_dir_);
        ASSERT_EQ(ours->pixels.size(), theirs.size());
        std::int64_t total = 0;
        int largest = 0;
        for (std::size_t i = 0; i < theirs.size(); ++i) {
            const int d = std::abs(static_cast<unsigned char>(ours->pixels[i]) -
                                   static_cast<unsigned char>(theirs[i]));
            total += d;
            largest = std::max(largest, d);
        }
        EXPECT_LE(static_cast<double>(total) / static_cast<double>(theirs.size()),
                  kMeanChannelTolerance);
        EXPECT_LE(largest, kMaxChannelTolerance);
    }

    test::TempDir dir_;
    test::TempDir run_dir_;
    std::string data_ = dir_.file("data");
    std::string out_ = dir_.file("out");
    std::string access_log_ = dir_.file("access.log");
    std::optional<test::NginxServer> nginx_;
};

TEST_F(RlgMontageTest, MontageWritesTheSheetAndItsFramesMatchFfmpeg) {
    if (!ffmpeg_available())
        GTEST_SKIP() << "ffmpeg is not installed";
    const test::RlgResult r = rlg({"montage", url("xvid.avi"), "-d", out_});
    ASSERT_EQ(r.exit_code, 0) << r.err << r.out;
    const auto lines = lines_of(r.out);
    for (const char* info : {"Dimensions: \t160*120", "FPS: 25.00 fps", "Length: 0:0:3 (3 sec)",
                             "No. of Frames: 75", "Codec: MPEG-4 part 2", "FourCC: XVID"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), info), lines.end()) << info << r.out;
    }
    // Plan 7, 38, 68: the key frames at or before them, one every 25 frames.
    EXPECT_EQ(frame_numbers(r.out), std::vector<int>({1, 26, 51}));
    EXPECT_NE(r.out.find("frame 26 0:00:01.000\n"), std::string::npos) << r.out;
    const std::string sheet = test::read_file(out_ + "/xvid.avi.montage.jpg");
    ASSERT_GT(sheet.size(), 3u);
    EXPECT_EQ(sheet.substr(0, 3), "\xFF\xD8\xFF");  // a JPEG
    // Without a terminal the status goes out as plain lines.
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_NE(r.out.find("AutoMontage Finished"), std::string::npos);

    for (const int number : frame_numbers(r.out))
        expect_frame_matches("xvid.avi", number);
    // H.264 with B-frames: a frame that is neither a key frame nor decoded in display order.
    expect_frame_matches("h264.avi", 1);
    expect_frame_matches("h264.avi", 40);

    // By time: "0:1.5" counts whole seconds, 1 s at 25 fps is index 25, frame number 26.
    const test::RlgResult by_time =
        rlg({"frame", url("xvid.avi"), "--time", "0:1.5", "-d", out_, "-o", out_ + "/t.jpg"});
    ASSERT_EQ(by_time.exit_code, 0) << by_time.err;
    EXPECT_EQ(frame_numbers(by_time.out), std::vector<int>({26}));
    EXPECT_EQ(test::read_file(out_ + "/t.jpg").substr(0, 2), "\xFF\xD8");
}

TEST_F(RlgMontageTest, FetchedBytesCountForTheDownloadAndAreNeverFetchedTwice) {
    const std::string original = test::read_file(fixture("xvid.avi"));
    const auto size = static_cast<std::int64_t>(original.size());
    const test::RlgResult montage = rlg({"montage", url("xvid.avi"), "-d", out_});
    ASSERT_EQ(montage.exit_code, 0) << montage.err;
    const std::int64_t fetched = fetched_bytes(montage.out);
    ASSERT_GT(fetched, 0) << montage.out;
    ASSERT_LT(fetched, size);
    // The montage's requests: the size probe, the 1-byte range test and the spans. The byte of
    // the range test is kept with the others.
    const auto montage_requests = logged_requests(fetched);
    EXPECT_EQ(body_bytes(montage_requests), fetched);
    ASSERT_FALSE(montage_requests.empty());
    EXPECT_EQ(montage_requests.front().method, "HEAD");
    for (const auto& r : montage_requests)
        EXPECT_EQ(r.status, 206);

    // The list keeps the item with the bytes fetched.
    const test::RlgResult list = rlg({"list"});
    EXPECT_NE(list.out.find("stopped"), std::string::npos) << list.out;

    const test::RlgResult get = rlg({"get", url("xvid.avi"), "-d", out_});
    ASSERT_EQ(get.exit_code, 0) << get.err << get.out;
    EXPECT_TRUE(test::read_file(out_ + "/xvid.avi") == original);
    EXPECT_EQ(test::file_size(out_ + "/xvid (1).avi"), -1);  // the same download went on
    // Every byte once.
    const auto all = logged_requests(size);
    EXPECT_EQ(body_bytes(all), size);
    const std::vector<LoggedRequest> get_requests(
        all.begin() + static_cast<std::ptrdiff_t>(montage_requests.size()), all.end());
    EXPECT_EQ(body_bytes(get_requests), size - fetched);
}

TEST_F(RlgMontageTest, FramesOfAnOpenDmlVideoAboveFourGibibytesCostAFewKilobytes) {
    constexpr std::int64_t kFetchLimit = 2 * 1024 * 1024;
    if (!ffmpeg_available())
        GTEST_SKIP() << "ffmpeg is not installed";
    std::string why;
    const auto large = test::make_sparse_odml(nginx_->root(), "large.avi", why);
    if (!large)
        GTEST_SKIP() << why;
    std::filesystem::create_directories(out_);
    if (!test::sparse_files_supported(out_))
        GTEST_SKIP() << "the download folder's file system keeps no sparse files";

    // Frame 10 is the last one, in the file's last kilobytes; frame 2 is near its start.
    expect_frame_matches("large.avi", 10, fixture("mjpeg.avi"));
    expect_frame_matches("large.avi", 2, fixture("mjpeg.avi"));
    const auto requests = logged_requests(1);
    ASSERT_FALSE(requests.empty());
    EXPECT_LT(body_bytes(requests), kFetchLimit);
    EXPECT_EQ(test::file_size(out_ + "/large.avi"), large->size);
    EXPECT_LT(test::allocated_bytes(out_ + "/large.avi"), 4 * kFetchLimit);
}

TEST_F(RlgMontageTest, OtherFormatsOnlyWithAnyFormat) {
    const test::RlgResult refused = rlg({"montage", url("clip.mp4"), "-d", out_});
    EXPECT_NE(refused.exit_code, 0);
    EXPECT_NE(refused.err.find("Only *.avi Files are Supported"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--any-format"), std::string::npos) << refused.err;
    // Nothing was added or fetched.
    EXPECT_EQ(test::file_size(out_ + "/clip.mp4"), -1);
    EXPECT_NE(rlg({"list"}).out.find("empty"), std::string::npos);
    EXPECT_TRUE(read_access_log(access_log_).empty());

    const test::RlgResult frame_refused =
        rlg({"frame", url("clip.mp4"), "--number", "1", "-d", out_, "-o", out_ + "/c.bmp"});
    EXPECT_NE(frame_refused.exit_code, 0);
    EXPECT_EQ(test::file_size(out_ + "/c.bmp"), -1);

    const test::RlgResult opened = rlg({"montage", url("clip.mp4"), "-d", out_, "--any-format"});
    ASSERT_EQ(opened.exit_code, 0) << opened.err;
    EXPECT_FALSE(frame_numbers(opened.out).empty()) << opened.out;
    EXPECT_GT(test::file_size(out_ + "/clip.mp4.montage.jpg"), 0);
}

TEST_F(RlgMontageTest, FrameCountIsForThisRunOnly) {
    if (!ffmpeg_available())
        GTEST_SKIP() << "ffmpeg is not installed";
    // 150 frames of Motion JPEG, every one a key frame: an AutoMontage plans as many as asked.
    const RunResult made = run_program(
        {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-t",
         "6", "-c:v", "mjpeg", "-q:v", "10", nginx_->root() + "/long.avi"},
        run_dir_);
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const std::string sheet = out_ + "/sheet.bmp";
    const test::RlgResult six =
        rlg({"montage", url("long.avi"), "-d", out_, "-n", "6", "-o", sheet});
    ASSERT_EQ(six.exit_code, 0) << six.err;
    EXPECT_EQ(frame_numbers(six.out), std::vector<int>({11, 26, 51, 76, 101, 141}));
    EXPECT_EQ(test::read_file(sheet).substr(0, 2), "BM");
    EXPECT_EQ(test::read_file(data_ + "/rlg.ini").find("AutoFrameCount"), std::string::npos);

    const test::RlgResult standard = rlg({"montage", url("long.avi"), "-d", out_});
    ASSERT_EQ(standard.exit_code, 0) << standard.err;
    EXPECT_EQ(frame_numbers(standard.out).size(), 7u) << standard.out;
    // The frames of the first run were on disk already.
    EXPECT_LT(fetched_bytes(standard.out), fetched_bytes(six.out));
}

TEST_F(RlgMontageTest, FailuresEndWithTheSessionsText) {
    const test::RlgResult codec = rlg({"montage", url("unknown_fourcc.avi"), "-d", out_});
    EXPECT_EQ(codec.exit_code, 1);
    EXPECT_NE(codec.err.find("Error Finding Decompressor Codec"), std::string::npos) << codec.err;
    EXPECT_NE(codec.out.find("Codec: <Not Found>"), std::string::npos) << codec.out;

    const test::RlgResult missing = rlg({"montage", url("missing.avi"), "-d", out_});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.err.find("Media Closed ("), std::string::npos) << missing.err;

    // What is wrong with the file, not how the connection ended.
    const std::pair<const char*, const char*> files[] = {
        {"not_avi.avi", "Media Closed (Error Opening the AVI File: Not an AVI File)"},
        {"damaged_header.avi",
         "Media Closed (Error Opening the AVI File: The File's Header is Damaged or Incomplete)"}};
    for (const auto& [name, text] : files) {
        const test::RlgResult r = rlg({"montage", url(name), "-d", out_});
        EXPECT_EQ(r.exit_code, 1) << name;
        EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    }

    const test::RlgResult past_end =
        rlg({"frame", url("xvid.avi"), "--number", "76", "-d", out_, "-o", out_ + "/x.bmp"});
    EXPECT_EQ(past_end.exit_code, 1);
    EXPECT_NE(past_end.err.find("75 frames"), std::string::npos) << past_end.err;
    EXPECT_EQ(test::file_size(out_ + "/x.bmp"), -1);

    const test::RlgResult ftp = rlg({"montage", "ftp://127.0.0.1/a.avi", "-d", out_});
    EXPECT_EQ(ftp.exit_code, 1);
    EXPECT_NE(ftp.err.find("only for HTTP files"), std::string::npos) << ftp.err;

    // Usage errors: nothing is opened.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"montage"},
          {"montage", url("xvid.avi"), "-n", "0"},
          {"montage", url("xvid.avi"), "-o", "sheet.png"},
          {"frame", url("xvid.avi"), "-o", "f.bmp"},
          {"frame", url("xvid.avi"), "--number", "1", "--time", "1", "-o", "f.bmp"},
          {"frame", url("xvid.avi"), "--number", "1"},
          {"frame", url("xvid.avi"), "--time", "-5", "-o", "f.bmp"}}) {
        EXPECT_EQ(rlg(args).exit_code, 2) << args.back();
    }
}

TEST_F(RlgMontageTest, ATruncatedVideoKeepsItsFramesInOrder) {
    // The file ends after some 40 of the 75 frames its header counts: the frames past the cut
    // are missing, the others come in the order of the plan.
    const test::RlgResult r = rlg({"montage", url("truncated.avi"), "-d", out_});
    const std::vector<int> numbers = frame_numbers(r.out);
    ASSERT_FALSE(numbers.empty()) << r.out << r.err;
    EXPECT_EQ(numbers.front(), 8) << r.out;
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << r.out;
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("Error Getting Frame"), std::string::npos) << r.err;
}

TEST_F(RlgMontageTest, HeldListIsRefused) {
    test::RecordingHost host;
    ListFile held(data_, host);
    ASSERT_EQ(held.open(), ListFile::OpenResult::Opened);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"montage", url("xvid.avi"), "-d", out_},
          {"frame", url("xvid.avi"), "--number", "1", "-d", out_, "-o", out_ + "/f.bmp"}}) {
        const test::RlgResult r = rlg(args);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find("in use by another Reelgrab"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(read_access_log(access_log_).empty());
    EXPECT_EQ(test::file_size(out_ + "/xvid.avi"), -1);
}

// Ctrl-C while the tool waits for a server that stopped answering: it ends at once with 130, and
// what it fetched stays in the download.
TEST(RlgMontageInterruptTest, CtrlCEndsTheMontageAndKeepsTheBytes) {
    test::FaultHttpServer server(fixture_folder());
    ASSERT_TRUE(server.ok()) << server.error();
    test::TempDir dir;
    const std::string data = dir.file("data");
    std::filesystem::create_directories(data);
    // After an answer the server keeps the connection but answers nothing more. The probe and
    // the 1-byte range test are answered, and the byte is kept; the first span of the header
    // goes out over the same connection and never comes.
    const std::string url = server.url("/files/xvid.avi?stall_after=1024");
    test::BackgroundRlg montage({"--data-dir", data, "montage", url, "-d", dir.path(), "-v"});
    ASSERT_TRUE(montage.started());
    // With -v a line is printed when the span after the range test's byte is asked for.
    std::string out;
    for (;;) {
        const auto line = montage.read_line(30s);
        ASSERT_TRUE(line.has_value()) << "no span was asked for: " << out;
        out += *line + "\n";
        if (line->starts_with("Downloading ") && line->find(" bytes [1-") != std::string::npos)
            break;
    }
    ASSERT_TRUE(montage.signal(SIGINT));
    EXPECT_EQ(montage.wait(), 130);
    while (const auto line = montage.read_line(5s))
        out += *line + "\n";
    EXPECT_TRUE(frame_numbers(out).empty()) << out;
    EXPECT_EQ(fetched_bytes(out), 1) << out;

    // The list was saved with the bytes: its header, the item's block and one range.
    EXPECT_EQ(test::legacy_part_size(test::read_file(data + "/RGList.rgl")), 8u + 5388 + 8);
}

}  // namespace
}  // namespace rg
