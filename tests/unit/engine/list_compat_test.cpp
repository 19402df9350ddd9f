// Lists written by this build and by a version-101 build, read both ways; what the extension keeps
// across a restart; damage to the extension, which costs only the damaged item's extra data.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/list_file.h"
#include "support/legacy_list.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg {
namespace {

constexpr std::int64_t k2G = std::int64_t{1} << 31;
constexpr std::int64_t k4G = std::int64_t{1} << 32;
constexpr std::int64_t kLegacyMax = k2G - 1;

struct Spec {
    std::string url;
    std::int32_t resumable = 1;
    std::int64_t total = 0;
    std::vector<ByteRange> ranges;
    std::string validator;
    std::string status = "Idle";
    bool address_changed = false;
};

DownloadItem& add(DownloadList& list, const Spec& spec) {
    DownloadItem& item = list.append_item();
    auto data = item.lock();
    data->set_url(spec.url);
    data->set_local_path("/downloads/" + spec.url.substr(spec.url.rfind('/') + 1));
    set_field_text(data->saved.password, "cHc=");
    data->saved.resumable = spec.resumable;
    data->saved.total_size = spec.total;
    data->saved.open_when_done = 1;
    data->saved.scheduled = 1;
    data->saved.resume_count = 4;
    data->ranges.assign(spec.ranges);
    data->saved.range_count = static_cast<std::int32_t>(data->ranges.count());
    data->saved.downloaded = data->ranges.covered_bytes();
    data->validator = spec.validator;
    data->set_status(spec.status);
    data->address_changed = spec.address_changed;
    return item;
}

// The item as a version-101 build writes it.
test::LegacyItem legacy_of(const Spec& spec) {
    test::LegacyItem item;
    item.url = spec.url;
    item.local_path = "/downloads/" + spec.url.substr(spec.url.rfind('/') + 1);
    item.password = "cHc=";
    item.resumable = spec.resumable;
    item.total_size = static_cast<std::int32_t>(spec.total);
    item.open_when_done = 1;
    item.scheduled = 1;
    item.resume_count = 4;
    item.range_count = static_cast<std::int32_t>(spec.ranges.size());
    for (const ByteRange& r : spec.ranges) {
        item.downloaded += static_cast<std::int32_t>(r.length);
        if (spec.resumable == 1) {
            item.ranges.push_back(
                {static_cast<std::int32_t>(r.start), static_cast<std::int32_t>(r.length)});
        }
    }
    return item;
}

std::int64_t covered(const std::vector<ByteRange>& ranges) {
    std::int64_t sum = 0;
    for (const ByteRange& r : ranges)
        sum += r.length;
    return sum;
}

std::span<const std::uint8_t> as_bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

const Spec kSmall{.url = "http://h/small.zip",
                  .total = 1000,
                  .ranges = {{0, 100}, {200, 50}},
                  .validator = "\"e1\"",
                  .status = "User Paused"};
const Spec kPlain{.url = "ftp://h/plain.iso",
                  .resumable = 0,
                  .total = 5000,
                  .ranges = {{0, 10}},
                  .validator = "20240101120000"};
const Spec kEdge{.url = "http://h/edge.bin",
                 .total = kLegacyMax,
                 .ranges = {{0, 10}, {kLegacyMax - 5, 5}},
                 .validator = ""};
const Spec kHuge{.url = "http://h/huge.avi",
                 .total = 5 * k2G,
                 .ranges = {{0, 1000}, {k2G - 100, 300}, {k4G - 10, 20}, {5 * k2G - 1, 1}},
                 .validator = "Wed, 21 Oct 2015 07:28:00 GMT",
                 .status = "Recieve TimeOut",
                 .address_changed = true};
const Spec kUnknown{
    .url = "http://h/unknown.avi", .ranges = {{kLegacyMax - 1, 2}, {k4G, 5}}, .validator = ""};

TEST(ListCompat, AVersion101ReaderLoadsEveryItemBelow2GiBExactly) {
    DownloadList list;
    for (const Spec& spec : {kSmall, kPlain, kEdge, kHuge, kUnknown})
        add(list, spec);
    const std::string bytes = serialise_list(list);
    const auto legacy = test::read_legacy_list(bytes);
    ASSERT_TRUE(legacy.has_value());
    ASSERT_EQ(legacy->items.size(), 5u);
    EXPECT_LT(legacy->bytes_read, bytes.size());  // the extension follows
    EXPECT_EQ(legacy->items[0], legacy_of(kSmall));
    EXPECT_EQ(legacy->items[1], legacy_of(kPlain));
    EXPECT_EQ(legacy->items[2], legacy_of(kEdge));
    // The small items' bytes are the ones a 101 writer writes.
    const std::string small_items =
        test::write_legacy_list({legacy_of(kSmall), legacy_of(kPlain), legacy_of(kEdge)}).substr(8);
    EXPECT_TRUE(bytes.substr(8, small_items.size()) == small_items);

    // Larger ones hold what a 101 reader can use: an unknown size and the ranges below 2 GiB.
    const test::LegacyItem& huge = legacy->items[3];
    EXPECT_EQ(huge.total_size, 0);
    EXPECT_EQ(huge.ranges, (std::vector<test::LegacyRange>{
                               {0, 1000}, {static_cast<std::int32_t>(k2G - 100), 99}}));
    EXPECT_EQ(huge.range_count, 2);
    EXPECT_EQ(huge.downloaded, 1099);
    EXPECT_EQ(huge.url, kHuge.url);
    EXPECT_EQ(huge.resume_count, 4);
    const test::LegacyItem& unknown = legacy->items[4];
    EXPECT_EQ(unknown.total_size, 0);
    EXPECT_EQ(unknown.ranges,
              (std::vector<test::LegacyRange>{{static_cast<std::int32_t>(kLegacyMax - 1), 1}}));
    EXPECT_EQ(unknown.downloaded, 1);
}

TEST(ListCompat, AListOfAVersion101WriterLoadsAsBefore) {
    test::LegacyItem small = legacy_of(kSmall);
    test::LegacyItem plain = legacy_of(kPlain);
    plain.range_count = 3;  // a plain item saved while it ran: no ranges follow
    const std::string bytes = test::write_legacy_list({small, plain, legacy_of(kEdge)});
    DownloadList list;
    ASSERT_EQ(parse_list(as_bytes(bytes), list), ListLoadStatus::Loaded);
    ASSERT_EQ(list.count(), 3);
    const ItemSnapshot a = list.item_at(0)->snapshot();
    EXPECT_EQ(a.ranges, kSmall.ranges);
    EXPECT_EQ(a.saved.total_size, 1000);
    EXPECT_EQ(a.saved.downloaded, 150);
    EXPECT_EQ(a.validator, "");
    EXPECT_FALSE(a.address_changed);
    EXPECT_EQ(list.item_at(0)->status_text(), "Idle");
    EXPECT_EQ(field_text(a.saved.password), "cHc=");
    const ItemSnapshot b = list.item_at(1)->snapshot();
    EXPECT_TRUE(b.ranges.empty());
    EXPECT_EQ(b.saved.range_count, 0);
    EXPECT_EQ(list.item_at(1)->connection.protocol, Protocol::Ftp);
    EXPECT_EQ(list.item_at(2)->snapshot().ranges, kEdge.ranges);
    // Written again by this build, the 101 part is the same but for the plain item's count.
    plain.range_count = 0;
    const std::string again = serialise_list(list);
    EXPECT_TRUE(again.substr(0, bytes.size()) ==
                test::write_legacy_list({small, plain, legacy_of(kEdge)}));
}

TEST(ListCompat, ValidatorStatusChangedAddressAndLargeSizesComeBack) {
    DownloadList list;
    for (const Spec& spec : {kSmall, kPlain, kEdge, kHuge, kUnknown})
        add(list, spec);
    DownloadList loaded;
    ASSERT_EQ(parse_list(as_bytes(serialise_list(list)), loaded), ListLoadStatus::Loaded);
    ASSERT_EQ(loaded.count(), 5);
    int i = 0;
    for (const Spec& spec : {kSmall, kPlain, kEdge, kHuge, kUnknown}) {
        const DownloadItem& item = *loaded.item_at(i++);
        const ItemSnapshot snap = item.snapshot();
        EXPECT_EQ(snap.saved.total_size, spec.total) << spec.url;
        EXPECT_EQ(snap.ranges, spec.resumable == 1 ? spec.ranges : std::vector<ByteRange>())
            << spec.url;
        EXPECT_EQ(snap.saved.downloaded, covered(spec.ranges)) << spec.url;
        EXPECT_EQ(snap.validator, spec.validator) << spec.url;
        EXPECT_EQ(snap.address_changed, spec.address_changed) << spec.url;
        EXPECT_EQ(item.status_text(), spec.status) << spec.url;
        EXPECT_EQ(item.state.load(), ItemState::Stopped);
    }
    // Saved again, the list loads to the same bytes.
    const std::string saved = serialise_list(loaded);
    DownloadList again;
    ASSERT_EQ(parse_list(as_bytes(saved), again), ListLoadStatus::Loaded);
    EXPECT_TRUE(serialise_list(again) == saved);
}

TEST(ListCompat, OnlyAStoppedItemsStatusIsKept) {
    DownloadList list;
    Spec running = kSmall;
    running.status = "Receiving Data...";
    add(list, running).state = ItemState::Running;
    add(list, running).state = ItemState::MontageHeld;
    Spec info = kSmall;
    info.status = "Passed Retry Count";
    add(list, info).state = ItemState::InfoHeld;
    Spec control = kSmall;
    control.status = "bad\x1b[2Jtext";
    add(list, control);
    DownloadList loaded;
    ASSERT_EQ(parse_list(as_bytes(serialise_list(list)), loaded), ListLoadStatus::Loaded);
    EXPECT_EQ(loaded.item_at(0)->status_text(), "Idle");
    EXPECT_EQ(loaded.item_at(1)->status_text(), "Idle");
    EXPECT_EQ(loaded.item_at(2)->status_text(), "Passed Retry Count");
    EXPECT_EQ(loaded.item_at(3)->status_text(), "Idle");
    // The rest of their records still came back.
    EXPECT_EQ(loaded.item_at(0)->snapshot().validator, "\"e1\"");
}

// Where each item's extension record lies in a list of these specs.
struct Layout {
    std::string bytes;
    std::size_t extension_start = 0;
    std::vector<std::size_t> record_starts;
};

Layout layout_of(const std::vector<Spec>& specs) {
    DownloadList list;
    for (const Spec& spec : specs)
        add(list, spec);
    Layout l;
    l.bytes = serialise_list(list);
    l.extension_start = test::read_legacy_list(l.bytes)->bytes_read;
    const auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(test::legacy_i32(l.bytes, at));
    };
    const std::size_t table = l.extension_start + 24;
    std::size_t at = table + 4 * (specs.size() + 1);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        l.record_starts.push_back(at);
        at += u32(table + 4 * i);
    }
    EXPECT_EQ(at, l.bytes.size());
    return l;
}

void expect_extended(const DownloadItem& item, const Spec& spec) {
    EXPECT_EQ(item.snapshot().validator, spec.validator) << spec.url;
    EXPECT_EQ(item.total_size(), spec.total) << spec.url;
}

// The item as its 101 record left it: no validator, no status, sizes that fit.
void expect_legacy_only(const DownloadItem& item, const Spec& spec) {
    const ItemSnapshot snap = item.snapshot();
    EXPECT_EQ(snap.validator, "") << spec.url;
    EXPECT_FALSE(snap.address_changed) << spec.url;
    EXPECT_EQ(item.status_text(), "Idle") << spec.url;
    EXPECT_EQ(snap.saved.total_size, spec.total > kLegacyMax ? 0 : spec.total) << spec.url;
    for (const ByteRange& r : snap.ranges)
        EXPECT_LE(r.end(), kLegacyMax) << spec.url;
}

TEST(ListCompat, ADamagedRecordCostsOnlyItsItemsExtension) {
    const std::vector<Spec> specs{kSmall, kHuge, kPlain};
    const Layout l = layout_of(specs);
    // A flipped byte anywhere in the huge item's record.
    for (std::size_t at = l.record_starts[1]; at < l.record_starts[2]; at += 7) {
        std::string damaged = l.bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
        DownloadList loaded;
        ASSERT_EQ(parse_list(as_bytes(damaged), loaded), ListLoadStatus::Loaded);
        ASSERT_EQ(loaded.count(), 3);
        expect_extended(*loaded.item_at(0), kSmall);
        expect_legacy_only(*loaded.item_at(1), kHuge);
        expect_extended(*loaded.item_at(2), kPlain);
        EXPECT_EQ(loaded.item_at(1)->snapshot().ranges,
                  (std::vector<ByteRange>{{0, 1000}, {k2G - 100, 99}}));
    }
    // Cut inside the extension: the records before the cut still apply.
    for (std::size_t cut = l.extension_start; cut < l.bytes.size(); cut += 5) {
        DownloadList loaded;
        ASSERT_EQ(parse_list(as_bytes(l.bytes.substr(0, cut)), loaded), ListLoadStatus::Loaded);
        ASSERT_EQ(loaded.count(), 3);
        for (std::size_t i = 0; i < specs.size(); ++i) {
            const std::size_t record_end =
                i + 1 < specs.size() ? l.record_starts[i + 1] : l.bytes.size();
            if (cut >= record_end)
                expect_extended(*loaded.item_at(static_cast<std::int32_t>(i)), specs[i]);
            else
                expect_legacy_only(*loaded.item_at(static_cast<std::int32_t>(i)), specs[i]);
        }
    }
}

TEST(ListCompat, ARecordNeverAppliesToAnItemWhose101PartChanged) {
    const Layout l = layout_of({kSmall, kHuge});
    // An older build rewrote the first item's record (a changed URL) and kept what followed.
    std::string changed = l.bytes;
    changed[8 + 7] = 'H';
    DownloadList loaded;
    ASSERT_EQ(parse_list(as_bytes(changed), loaded), ListLoadStatus::Loaded);
    expect_legacy_only(*loaded.item_at(0), kSmall);
    expect_extended(*loaded.item_at(1), kHuge);

    // Records of two items swapped in the table and the records: each one names its own item.
    const Layout swapped = layout_of({kHuge, kSmall});
    std::string mixed =
        l.bytes.substr(0, l.extension_start) + swapped.bytes.substr(swapped.extension_start);
    DownloadList crossed;
    ASSERT_EQ(parse_list(as_bytes(mixed), crossed), ListLoadStatus::Loaded);
    expect_legacy_only(*crossed.item_at(0), kSmall);
    expect_legacy_only(*crossed.item_at(1), kHuge);
}

class ListCompatFileTest : public ::testing::Test {
  protected:
    test::TempDir dir_;
    test::RecordingHost host_;
};

TEST_F(ListCompatFileTest, ADamagedExtensionIsNoDamagedList) {
    const Layout l = layout_of({kSmall, kHuge});
    std::string damaged = l.bytes;
    damaged[l.record_starts[1] + 20] ^= 0x01;
    damaged.resize(damaged.size() - 3);
    test::write_file(dir_.file("RGList.rgl"), damaged);
    ListFile file(dir_.path(), host_);
    ASSERT_EQ(file.open(), ListFile::OpenResult::Opened);
    DownloadList loaded;
    EXPECT_TRUE(file.load(loaded));
    EXPECT_EQ(loaded.count(), 2);
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(dir_.file("RGList.rgl.unreadable")));
    expect_extended(*loaded.item_at(0), kSmall);
}

// Counts lists written and download files flushed.
class CountingOps : public FileOps {
  public:
    int rename(const char* from, const char* to) override {
        ++lists_written;
        return FileOps::rename(from, to);
    }
    int fdatasync(int fd) override {
        ++data_flushes;
        return FileOps::fdatasync(fd);
    }
    int lists_written = 0;
    int data_flushes = 0;
};

TEST_F(ListCompatFileTest, AChangeOnlyTheExtensionSeesIsSavedAndItsBytesFlushed) {
    CountingOps ops;
    ListFile file(dir_.path(), host_, ops);
    ASSERT_EQ(file.open(), ListFile::OpenResult::Opened);
    const std::string data_file = dir_.file("huge.avi");
    test::write_file(data_file, "x");
    DownloadList list;
    DownloadItem& item = add(list, kHuge);
    item.lock()->set_local_path(data_file);
    ASSERT_TRUE(file.save(list));
    ASSERT_TRUE(file.save(list));
    EXPECT_EQ(ops.lists_written, 1);

    // Bytes past 4 GiB arrive: the 101 record stays the same, the ranges that name them are new.
    const int flushes = ops.data_flushes;
    item.lock()->ranges.add(k4G + 10, 5);
    ASSERT_TRUE(file.save(list));
    EXPECT_EQ(ops.lists_written, 2);
    EXPECT_GT(ops.data_flushes, flushes);
    // The validator, the status and the changed address count as changes too.
    item.lock()->validator = "\"other\"";
    ASSERT_TRUE(file.save(list));
    item.set_status("User Paused");
    ASSERT_TRUE(file.save(list));
    item.lock()->address_changed = false;
    ASSERT_TRUE(file.save(list));
    EXPECT_EQ(ops.lists_written, 5);

    DownloadList loaded;
    ASSERT_TRUE(file.load(loaded));
    EXPECT_EQ(
        loaded.item_at(0)->snapshot().ranges,
        (std::vector<ByteRange>{{0, 1000}, {k2G - 100, 300}, {k4G - 10, 25}, {5 * k2G - 1, 1}}));
    EXPECT_EQ(loaded.item_at(0)->status_text(), "User Paused");
    EXPECT_TRUE(host_.messages.empty());
}

}  // namespace
}  // namespace rg
