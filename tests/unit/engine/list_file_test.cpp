#include "engine/list_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/credentials.h"
#include "support/legacy_list.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

DownloadItem& add_item(DownloadList& list, const std::string& url, std::int32_t resumable,
                       std::vector<ByteRange> ranges = {}, std::int32_t total = 0) {
    DownloadItem& item = list.append_item();
    auto data = item.lock();
    data->set_url(url);
    data->set_local_path("/downloads/" + url.substr(url.rfind('/') + 1));
    set_field_text(data->saved.user_name, "dXNlcg==");
    data->saved.resumable = resumable;
    data->saved.total_size = total;
    data->saved.scheduled = 1;
    data->saved.resume_count = 3;
    data->ranges.assign(std::move(ranges));
    data->saved.range_count = static_cast<std::int32_t>(data->ranges.count());
    data->saved.downloaded = static_cast<std::int32_t>(data->ranges.covered_bytes());
    return item;
}

std::span<const std::uint8_t> as_bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The version-101 part of a list, without the extension after it.
std::string legacy_part(const std::string& bytes) {
    const auto legacy = test::read_legacy_list(bytes);
    EXPECT_TRUE(legacy.has_value());
    return bytes.substr(0, legacy ? legacy->bytes_read : 0);
}

void put_i32(std::string& s, std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(u >> (8 * i));
}

TEST(SavedBlock, LittleEndianAtTheTableOffsets) {
    SavedBlock block;
    set_field_text(block.url, "http://h/f");
    block.resumable = 1;
    block.total_size = 0x01020304;
    block.resume_count = -2;
    std::vector<std::uint8_t> bytes(kSavedBlockSize);
    encode_saved_block(block,
                       std::span<std::uint8_t, kSavedBlockSize>(bytes.data(), kSavedBlockSize));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data()), 10), "http://h/f");
    EXPECT_EQ(bytes[5360], 1);
    EXPECT_EQ(bytes[5364], 4);
    EXPECT_EQ(bytes[5367], 1);
    EXPECT_EQ(bytes[5384], 0xfe);
    EXPECT_EQ(bytes[5387], 0xff);
}

TEST(SavedBlock, UnterminatedFieldsAreCutAtTheirLastByte) {
    std::vector<std::uint8_t> bytes(kSavedBlockSize, 'A');
    const SavedBlock block = decode_saved_block(
        std::span<const std::uint8_t, kSavedBlockSize>(bytes.data(), kSavedBlockSize));
    EXPECT_EQ(field_text(block.url).size(), SavedBlock::kUrlSize - 1);
    EXPECT_EQ(field_text(block.password).size(), SavedBlock::kCredentialSize - 1);
}

TEST(ListFormat, SizesOfEmptyResumableAndPlainLists) {
    DownloadList list;
    EXPECT_EQ(serialise_list(list).size(), 0u);
    add_item(list, "http://h/a.zip", 1, {{0, 100}, {200, 50}});
    EXPECT_EQ(legacy_part(serialise_list(list)).size(), 5412u);

    DownloadList plain;
    // A non-resumable item saved while it runs has a range, but none is written.
    add_item(plain, "http://h/b.zip", 0, {{0, 100}});
    EXPECT_EQ(legacy_part(serialise_list(plain)).size(), 5396u);
}

TEST(ListFormat, RoundTripKeepsBlocksRangesAndProtocol) {
    DownloadList list;
    add_item(list, "http://h/a.zip", 1, {{0, 100}, {200, 50}}, 1000);
    add_item(list, "FTP://h/b.zip", 0, {{0, 10}});
    add_item(list, "fTp.example.com/c.zip", 1);
    const std::string bytes = serialise_list(list);

    DownloadList loaded;
    ASSERT_EQ(parse_list(as_bytes(bytes), loaded), ListLoadStatus::Loaded);
    ASSERT_EQ(loaded.count(), 3);
    const DownloadItem& a = *loaded.item_at(0);
    EXPECT_EQ(a.url(), "http://h/a.zip");
    EXPECT_EQ(a.file_name(), "a.zip");
    EXPECT_EQ(a.connection.protocol, Protocol::Http);
    EXPECT_EQ(a.state.load(), ItemState::Stopped);
    EXPECT_EQ(a.status_text(), "Idle");
    const ItemSnapshot snap = a.snapshot();
    EXPECT_EQ(snap.ranges, (std::vector<ByteRange>{{0, 100}, {200, 50}}));
    EXPECT_EQ(snap.saved.total_size, 1000);
    EXPECT_EQ(snap.saved.scheduled, 1);
    EXPECT_EQ(snap.saved.resume_count, 3);
    EXPECT_EQ(field_text(snap.saved.user_name), "dXNlcg==");
    // The plain item had range_count 1 in its block: no ranges follow it, and the next item is
    // read from the right place.
    EXPECT_EQ(loaded.item_at(1)->snapshot().saved.range_count, 0);
    EXPECT_EQ(loaded.item_at(1)->connection.protocol, Protocol::Ftp);
    EXPECT_EQ(loaded.item_at(2)->connection.protocol, Protocol::Ftp);
    EXPECT_EQ(loaded.item_at(2)->url(), "fTp.example.com/c.zip");
    // Written again, the bytes are the same but for the plain item's range count.
    DownloadList again;
    parse_list(as_bytes(serialise_list(loaded)), again);
    EXPECT_EQ(serialise_list(again), serialise_list(loaded));
}

TEST(ListFormat, UserInfoInAStoredUrlMovesIntoTheCredentials) {
    DownloadList list;
    add_item(list, "http://h/own.zip", 1);  // keeps "user" as its own user name
    DownloadItem& own = *list.item_at(0);
    own.lock()->set_url("http://other:secret@h/own.zip");
    DownloadItem& bare = add_item(list, "http://h/bare.zip", 1);
    set_field_text(bare.lock()->saved.user_name, "");
    bare.lock()->set_url("http://us%40r:p%3Ass@h:8080/bare.zip");
    DownloadItem& unusable = add_item(list, "http://h/long.zip", 1);
    set_field_text(unusable.lock()->saved.user_name, "");
    const std::string long_url = "http://" + std::string(100, 'u') + ":pw@h/long.zip";
    unusable.lock()->set_url(long_url);

    DownloadList loaded;
    ASSERT_EQ(parse_list(as_bytes(serialise_list(list)), loaded), ListLoadStatus::Loaded);
    ASSERT_EQ(loaded.count(), 3);
    EXPECT_EQ(loaded.item_at(0)->url(), "http://h/own.zip");
    EXPECT_EQ(field_text(loaded.item_at(0)->snapshot().saved.user_name), "dXNlcg==");
    EXPECT_EQ(loaded.item_at(1)->url(), "http://h:8080/bare.zip");
    const auto bare_credentials = item_credentials(*loaded.item_at(1));
    ASSERT_TRUE(bare_credentials);
    EXPECT_EQ(bare_credentials->user_name, "dXNAcg==");  // "us@r"
    EXPECT_EQ(bare_credentials->password, "cDpzcw==");   // "p:ss"
    // Credentials the fields cannot hold are not dropped with the URL.
    EXPECT_EQ(loaded.item_at(2)->url(), long_url);
}

TEST(ListFormat, HeaderCases) {
    DownloadList list;
    EXPECT_EQ(parse_list(as_bytes(std::string(7, '\0')), list), ListLoadStatus::Loaded);
    std::string header(8, '\0');
    put_i32(header, 0, 100);
    EXPECT_EQ(parse_list(as_bytes(header), list), ListLoadStatus::WrongVersion);
    put_i32(header, 0, kListVersion);
    EXPECT_EQ(parse_list(as_bytes(header), list), ListLoadStatus::Loaded);  // count 0
    put_i32(header, 4, -7);
    EXPECT_EQ(parse_list(as_bytes(header), list), ListLoadStatus::Loaded);
    EXPECT_EQ(list.count(), 0);
}

TEST(ListFormat, CutOffItemIsNotKeptButEarlierOnesAre) {
    DownloadList list;
    add_item(list, "http://h/a.zip", 1, {{0, 100}});
    add_item(list, "http://h/b.zip", 1, {{0, 100}, {300, 5}});
    std::string bytes = legacy_part(serialise_list(list));
    for (std::size_t cut : {bytes.size() - 1, bytes.size() - 8, bytes.size() - 17}) {
        DownloadList loaded;
        EXPECT_EQ(parse_list(as_bytes(bytes.substr(0, cut)), loaded), ListLoadStatus::Damaged);
        ASSERT_EQ(loaded.count(), 1) << cut;
        EXPECT_EQ(loaded.item_at(0)->url(), "http://h/a.zip");
    }
}

TEST(ListFormat, HugeCountsFailWithoutAllocating) {
    DownloadList list;
    add_item(list, "http://h/a.zip", 1, {{0, 100}});
    std::string bytes = serialise_list(list);
    std::string huge_items = bytes;
    put_i32(huge_items, 4, 0x7fffffff);
    DownloadList loaded;
    EXPECT_EQ(parse_list(as_bytes(huge_items), loaded), ListLoadStatus::Damaged);
    EXPECT_EQ(loaded.count(), 1);

    std::string huge_ranges = bytes;
    constexpr std::size_t kRangeCountAt = 5372;
    put_i32(huge_ranges, 8 + kRangeCountAt, 0x7fffffff);
    DownloadList none;
    EXPECT_EQ(parse_list(as_bytes(huge_ranges), none), ListLoadStatus::Damaged);
    EXPECT_EQ(none.count(), 0);
}

TEST(ListFormat, UnsoundRangesAreDroppedOrJoined) {
    DownloadList list;
    add_item(list, "http://h/a.zip", 1,
             {{-5, 10}, {500, -1}, {900, 200}, {300, 50}, {0, 100}, {50, 100}, {400, 0}}, 1000);
    list.item_at(0)->lock()->saved.downloaded = 100000;
    DownloadList loaded;
    ASSERT_EQ(parse_list(as_bytes(legacy_part(serialise_list(list))), loaded),
              ListLoadStatus::Loaded);
    const ItemSnapshot snap = loaded.item_at(0)->snapshot();
    EXPECT_EQ(snap.ranges, (std::vector<ByteRange>{{0, 150}, {300, 50}}));
    EXPECT_EQ(snap.saved.range_count, 2);
    EXPECT_EQ(snap.saved.downloaded, 200);
}

class ListFileTest : public ::testing::Test {
  protected:
    std::unique_ptr<ListFile> open_list(FileOps& ops = system_file_ops()) {
        auto file = std::make_unique<ListFile>(dir_.path(), host_, ops);
        EXPECT_EQ(file->open(), ListFile::OpenResult::Opened);
        return file;
    }

    test::TempDir dir_;
    test::RecordingHost host_;
};

TEST_F(ListFileTest, OpenCreatesEmptyPrivateFileAndEmptyListSavesAsNothing) {
    auto file = open_list();
    struct stat st {};
    ASSERT_EQ(::stat(file->path().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    DownloadList list;
    EXPECT_TRUE(file->load(list));
    EXPECT_EQ(list.count(), 0);

    add_item(list, "http://h/a.zip", 1, {{0, 1}});
    ASSERT_TRUE(file->save(list));
    ASSERT_EQ(::stat(file->path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(legacy_part(test::read_file(file->path())).size(), 5396u + 8);

    list.clear();
    ASSERT_TRUE(file->save(list));
    ASSERT_EQ(::stat(file->path().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_TRUE(host_.messages.empty());
}

TEST_F(ListFileTest, SaveThenLoadInAnotherInstance) {
    DownloadList list;
    add_item(list, "http://h/a.zip", 1, {{0, 100}, {200, 50}}, 400);
    {
        auto file = open_list();
        ASSERT_TRUE(file->save(list));
    }
    auto file = open_list();
    DownloadList loaded;
    ASSERT_TRUE(file->load(loaded));
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(serialise_list(loaded), serialise_list(list));
    // No temporary files are left behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2u);  // the list and its lock
}

TEST_F(ListFileTest, WrongVersionLoadsEmptyAndIsKeptAside) {
    test::write_file(dir_.file("RGList.rgl"), std::string("\x65\x01\0\0\x01\0\0\0", 8));
    auto file = open_list();
    DownloadList list;
    EXPECT_FALSE(file->load(list));
    EXPECT_EQ(list.count(), 0);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "Error Occured while processing DlList file");
    EXPECT_EQ(test::read_file(dir_.file("RGList.rgl.unreadable")).size(), 8u);
    add_item(list, "http://h/a.zip", 0);
    ASSERT_TRUE(file->save(list));
    DownloadList again;
    EXPECT_TRUE(file->load(again));
    EXPECT_EQ(again.count(), 1);
}

TEST_F(ListFileTest, DamagedFileIsReportedAndKeepsWholeItems) {
    DownloadList list;
    add_item(list, "http://h/a.zip", 0);
    add_item(list, "http://h/b.zip", 0);
    std::string bytes = legacy_part(serialise_list(list));
    test::write_file(dir_.file("RGList.rgl"), bytes.substr(0, bytes.size() - 100));
    auto file = open_list();
    DownloadList loaded;
    EXPECT_FALSE(file->load(loaded));
    EXPECT_EQ(loaded.count(), 1);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "Error Occured while processing DlList file");
    EXPECT_EQ(host_.messages[0].caption, "Error");
    EXPECT_EQ(host_.messages[0].icon, MessageIcon::Error);
}

TEST_F(ListFileTest, DamagedListIsReplacedAtOnceByTheItemsReadAndKeptAsItWas) {
    DownloadList list;
    add_item(list, "http://h/a.zip", 1, {{0, 100}});
    add_item(list, "http://h/b.zip", 0);
    add_item(list, "http://h/c.zip", 1, {{0, 10}, {20, 10}});
    const std::string whole = legacy_part(serialise_list(list));
    const std::string cut = whole.substr(0, whole.size() - 3);
    test::write_file(dir_.file("RGList.rgl"), cut);
    {
        auto file = open_list();
        DownloadList loaded;
        EXPECT_FALSE(file->load(loaded));
        ASSERT_EQ(loaded.count(), 2);
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_EQ(host_.messages[0].text, "Error Occured while processing DlList file");
    }
    EXPECT_EQ(test::read_file(dir_.file("RGList.rgl.unreadable")), cut);

    // The next instance finds the two rows, without another message.
    DownloadList two;
    add_item(two, "http://h/a.zip", 1, {{0, 100}});
    add_item(two, "http://h/b.zip", 0);
    auto file = open_list();
    DownloadList again;
    EXPECT_TRUE(file->load(again));
    EXPECT_EQ(serialise_list(again), serialise_list(two));
    EXPECT_EQ(host_.messages.size(), 1u);

    // A second damaged list does not replace the copy kept of the first.
    const std::string random = test::random_bytes(3000);
    test::write_file(dir_.file("RGList.rgl"), random);
    DownloadList none;
    EXPECT_FALSE(file->load(none));
    EXPECT_EQ(none.count(), 0);
    EXPECT_EQ(host_.messages.size(), 2u);
    EXPECT_EQ(test::read_file(dir_.file("RGList.rgl.unreadable")), cut);
    EXPECT_EQ(test::read_file(dir_.file("RGList.rgl.unreadable.1")), random);
    EXPECT_EQ(test::file_size(dir_.file("RGList.rgl")), 0);
}

// Counts lists written and fails the flush of download files when told to.
class SaveCountingOps : public FileOps {
  public:
    int rename(const char* from, const char* to) override {
        ++lists_written;
        return FileOps::rename(from, to);
    }
    int fdatasync(int fd) override {
        ++data_flushes;
        return fail_data_sync ? (errno = EIO, -1) : FileOps::fdatasync(fd);
    }

    int lists_written = 0;
    int data_flushes = 0;
    bool fail_data_sync = false;
};

TEST_F(ListFileTest, RangesOfAClosedFileAreFlushedBeforeTheyAreSavedAndOnlyOnce) {
    SaveCountingOps ops;
    auto file = open_list(ops);
    const std::string data_file = dir_.file("a.zip");
    test::write_file(data_file, std::string(100, 'a'));
    DownloadList list;
    DownloadItem& item = add_item(list, "http://h/a.zip", 1, {{0, 100}}, 1000);
    item.lock()->set_local_path(data_file);

    // The flush of the stopped item's file fails: its ranges are not recorded yet.
    ops.fail_data_sync = true;
    ASSERT_TRUE(file->save(list));
    DownloadList loaded;
    ASSERT_TRUE(file->load(loaded));
    EXPECT_EQ(loaded.item_at(0)->snapshot().ranges.size(), 0u);

    ops.fail_data_sync = false;
    ASSERT_TRUE(file->save(list));
    ASSERT_TRUE(file->save(list));
    EXPECT_EQ(ops.lists_written, 2);
    DownloadList durable;
    ASSERT_TRUE(file->load(durable));
    EXPECT_EQ(durable.item_at(0)->snapshot().ranges, (std::vector<ByteRange>{{0, 100}}));

    // An unchanged list is neither written nor flushed again; a change is.
    ASSERT_TRUE(file->save(list));
    const int flushes = ops.data_flushes;
    ASSERT_TRUE(file->save(list));
    EXPECT_EQ(ops.lists_written, 3);
    EXPECT_EQ(ops.data_flushes, flushes);
    item.lock()->saved.scheduled = 0;
    ASSERT_TRUE(file->save(list));
    EXPECT_EQ(ops.lists_written, 4);
    EXPECT_TRUE(host_.messages.empty());
}

// Fails every write once `budget` bytes have gone through, as a full disk does.
class FullDiskOps : public FileOps {
  public:
    explicit FullDiskOps(std::size_t budget) : budget_(budget) {}
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (size > budget_) {
            errno = ENOSPC;
            return -1;
        }
        budget_ -= size;
        return FileOps::write(fd, data, size);
    }

  private:
    std::size_t budget_;
};

TEST_F(ListFileTest, FailedWriteKeepsPreviousListAndReportsOnce) {
    DownloadList list;
    for (int i = 0; i < 30; ++i)
        add_item(list, "http://h/" + std::to_string(i), 1, {{0, i + 1}});
    {
        auto file = open_list();
        ASSERT_TRUE(file->save(list));
    }
    const std::string before = test::read_file(dir_.file("RGList.rgl"));

    add_item(list, "http://h/new", 1);
    FullDiskOps full(70000);
    auto file = open_list(full);
    EXPECT_FALSE(file->save(list));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, "Error Occured while saving DlList file");
    EXPECT_EQ(test::read_file(dir_.file("RGList.rgl")), before);
    DownloadList loaded;
    EXPECT_TRUE(file->load(loaded));
    EXPECT_EQ(loaded.count(), 30);
}

TEST_F(ListFileTest, SecondProcessCannotTakeTheLock) {
    auto file = open_list();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        test::RecordingHost host;
        ListFile other(dir_.path(), host);
        _exit(other.open() == ListFile::OpenResult::Locked ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    file.reset();  // released: the next instance may open
    open_list();
}

TEST_F(ListFileTest, StaleTemporaryFilesAreRemovedOnOpen) {
    test::write_file(dir_.file("RGList.rgl.1234.0.tmp"), "half a list");
    open_list();
    EXPECT_FALSE(std::filesystem::exists(dir_.file("RGList.rgl.1234.0.tmp")));
}

}  // namespace
}  // namespace rg
