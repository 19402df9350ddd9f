#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media_file_fixture.h"
#include "montage/remote_media_reader.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

using test::FakeRemoteFile;
using test::FetchedSpan;

constexpr std::int32_t kMegabyte = 1000000;

class RemoteMediaReaderTest : public ::testing::Test {
  protected:
    RemoteMediaReaderTest() : remote_(test::random_bytes(kMegabyte, 11)) {}

    DownloadItem& item() { return remote_.item(); }
    void have(std::vector<ByteRange> ranges) {
        for (const ByteRange& r : ranges)
            ASSERT_TRUE(item().store_chunk(r.start, r.length, remote_.content().data() + r.start));
    }
    std::int32_t read(std::int32_t position, std::int32_t count, std::string& out) {
        out.assign(static_cast<std::size_t>(std::max(count, 0)), '\0');
        const std::int32_t got = read_through(item(), reinterpret_cast<std::uint8_t*>(out.data()),
                                              position, count, remote_.fetcher(), settings_);
        out.resize(static_cast<std::size_t>(std::max(got, 0)));
        return got;
    }
    std::string expected(std::int32_t position, std::int32_t count) const {
        return remote_.content().substr(static_cast<std::size_t>(position),
                                        static_cast<std::size_t>(count));
    }
    void expect_log(const std::vector<FetchedSpan>& spans) {
        ASSERT_EQ(remote_.log().size(), spans.size());
        for (std::size_t i = 0; i < spans.size(); ++i) {
            EXPECT_EQ(remote_.log()[i].start, spans[i].start) << "fetch " << i;
            EXPECT_EQ(remote_.log()[i].length, spans[i].length) << "fetch " << i;
        }
    }

    FakeRemoteFile remote_;
    ReaderSettings settings_;
};

TEST_F(RemoteMediaReaderTest, SmallReadsFetchASegmentThenOnlyWhatIsMissing) {
    std::string out;
    EXPECT_EQ(read(0, 12, out), 12);
    EXPECT_EQ(out, expected(0, 12));
    expect_log({{0, 1024}});

    // Plans [12, 1036); only the 12 bytes past the first segment are asked for.
    EXPECT_EQ(read(12, 100, out), 100);
    EXPECT_EQ(out, expected(12, 100));
    expect_log({{0, 1024}, {1024, 12}});

    // Wholly on disk, the planned segment included: no request.
    EXPECT_EQ(read(0, 1036, out), 1036);
    EXPECT_EQ(out, expected(0, 1036));
    EXPECT_EQ(remote_.log().size(), 2u);
}

TEST_F(RemoteMediaReaderTest, HolesUpToTheGapSizeAreClosedLargerOnesStay) {
    have({{0, 1024}, {4096, 4096}});
    std::string out;
    // The 976-byte hole after [0, 1024) is closed; the 1072 bytes before 4096 stay missing.
    EXPECT_EQ(read(2000, 100, out), 100);
    EXPECT_EQ(out, expected(2000, 100));
    expect_log({{1024, 2000}});
    const std::vector<ByteRange> ranges = item().lock()->ranges.items();
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], (ByteRange{0, 3024}));
}

TEST_F(RemoteMediaReaderTest, AHoleOfExactlyTheGapSizeIsClosedAndBytesOnDiskAreSkipped) {
    have({{0, 1024}, {4096, 4096}});
    std::string out;
    EXPECT_EQ(read(2048, 5000, out), 5000);
    EXPECT_EQ(out, expected(2048, 5000));
    expect_log({{1024, 3072}});
}

TEST_F(RemoteMediaReaderTest, ASpanAcrossSeveralRangesFetchesEachHoleOnce) {
    have({{0, 100}, {200, 100}, {400, 100}});
    EXPECT_TRUE(ensure_span(item(), 50, 500, remote_.fetcher(), 0));
    expect_log({{100, 100}, {300, 100}, {500, 50}});
    EXPECT_TRUE(remote_.spans_disjoint());
    // Everything asked for is now present: nothing more is fetched.
    EXPECT_TRUE(ensure_span(item(), 0, 550, remote_.fetcher(), 0));
    EXPECT_EQ(remote_.log().size(), 3u);
}

TEST_F(RemoteMediaReaderTest, OverlappingRangesNeverPullTheStartBackOntoBytesOnDisk) {
    // A list with a range inside another (kept apart by the range list when blocks overlap).
    item().lock()->ranges.assign({{0, 3000}, {2000, 500}});
    EXPECT_TRUE(ensure_span(item(), 2500, 1000, remote_.fetcher(), 1024));
    expect_log({{3000, 500}});
}

TEST_F(RemoteMediaReaderTest, ReadsStopAtTheEndOfTheServerFile) {
    std::string out;
    EXPECT_EQ(read(kMegabyte, 10, out), 0);
    EXPECT_EQ(read(kMegabyte + 5, 10, out), 0);
    EXPECT_TRUE(remote_.log().empty());

    // Starts inside, runs past the end: fetched and read up to the end only.
    EXPECT_EQ(read(kMegabyte - 10, 100, out), 10);
    EXPECT_EQ(out, expected(kMegabyte - 10, 10));
    expect_log({{kMegabyte - 10, 10}});
    EXPECT_FALSE(item().montage_abort.load());
}

TEST_F(RemoteMediaReaderTest, AFailedFetchAbortsEveryReadUntilTheFlagIsCleared) {
    remote_.fail_after(0);
    std::string out;
    EXPECT_EQ(read(0, 4096, out), 0);
    EXPECT_TRUE(item().montage_abort.load());
    // What arrived before the failure stays in the file and the ranges.
    EXPECT_EQ(item().lock()->ranges.items(), (std::vector<ByteRange>{{0, 2048}}));

    EXPECT_EQ(read(0, 10, out), 0);
    EXPECT_EQ(remote_.log().size(), 1u);

    remote_.fail_after(-1);
    item().montage_abort = false;
    EXPECT_EQ(read(0, 4096, out), 4096);
    EXPECT_EQ(out, expected(0, 4096));
    expect_log({{0, 4096}, {2048, 2048}});
}

TEST_F(RemoteMediaReaderTest, ALocalReadFailureReturnsNothingWithoutAborting) {
    have({{0, 2048}});
    item().lock()->file.reset();
    std::string out;
    EXPECT_EQ(read(0, 100, out), 0);
    EXPECT_FALSE(item().montage_abort.load());
}

TEST_F(RemoteMediaReaderTest, InvalidSpansFail) {
    EXPECT_FALSE(ensure_span(item(), 0, 0, remote_.fetcher(), 1024));
    EXPECT_FALSE(ensure_span(item(), -1, 10, remote_.fetcher(), 1024));
    EXPECT_FALSE(ensure_span(item(), kMegabyte, 10, remote_.fetcher(), 1024));
    EXPECT_TRUE(remote_.log().empty());
}

TEST_F(RemoteMediaReaderTest, TheVirtualFileIsAsLargeAsTheServerSaysAndSeeksOnIt) {
    RemoteMediaReader reader(item(), remote_.fetcher(), settings_);
    EXPECT_EQ(reader.size(), kMegabyte);  // the local file is still empty

    EXPECT_EQ(reader.seek(-8, SeekOrigin::End), kMegabyte - 8);
    std::uint8_t tail[16];
    EXPECT_EQ(reader.read(tail, 16), 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(tail), 8), expected(kMegabyte - 8, 8));
    EXPECT_EQ(item().reader_position.load(), kMegabyte);
    EXPECT_EQ(reader.read(tail, 16), 0);

    EXPECT_EQ(reader.seek(100, SeekOrigin::Start), 100);
    EXPECT_EQ(reader.seek(-40, SeekOrigin::Current), 60);
    EXPECT_EQ(reader.seek(kMegabyte * 3, SeekOrigin::Start), kMegabyte * 3);  // beyond: allowed
    EXPECT_EQ(reader.read(tail, 16), 0);
    EXPECT_EQ(reader.seek(-1, SeekOrigin::Start), -1);  // refused, position unchanged
    EXPECT_EQ(reader.seek(0, SeekOrigin::Current), kMegabyte * 3);
    EXPECT_EQ(reader.seek(INT64_MAX, SeekOrigin::Current), -1);

    reader.rewind();
    EXPECT_EQ(item().reader_position.load(), 0);
    EXPECT_EQ(reader.read(tail, 4), 4);
    EXPECT_EQ(item().reader_position.load(), 4);
    // The library's close leaves the item's file open.
    EXPECT_NE(item().lock()->file, nullptr);
}

TEST_F(RemoteMediaReaderTest, LocalReadsServeOnlyBytesOnDiskAndNeverFetch) {
    have({{0, 100}, {100, 50}, {300, 10}});
    RemoteMediaReader reader(item(), remote_.fetcher(), settings_);
    std::string out(400, '\0');
    auto* buffer = reinterpret_cast<std::uint8_t*>(out.data());
    ASSERT_EQ(reader.seek(20, SeekOrigin::Start), 20);
    EXPECT_EQ(reader.read_local(buffer, 400), 130);
    EXPECT_EQ(out.substr(0, 130), expected(20, 130));
    EXPECT_EQ(item().reader_position.load(), 150);
    EXPECT_EQ(reader.read_local(buffer, 10), 0);
    ASSERT_EQ(reader.seek(305, SeekOrigin::Start), 305);
    EXPECT_EQ(reader.read_local(buffer, 100), 5);
    item().montage_abort = true;
    ASSERT_EQ(reader.seek(0, SeekOrigin::Start), 0);
    EXPECT_EQ(reader.read_local(buffer, 10), 0);
    EXPECT_TRUE(remote_.log().empty());
}

TEST_F(RemoteMediaReaderTest, ReadsReturnNothingWhileAborted) {
    RemoteMediaReader reader(item(), remote_.fetcher(), settings_);
    item().montage_abort = true;
    std::uint8_t buffer[8];
    EXPECT_EQ(reader.read(buffer, 8), 0);
    EXPECT_EQ(item().reader_position.load(), 0);
    EXPECT_TRUE(remote_.log().empty());
}

}  // namespace
}  // namespace rg
