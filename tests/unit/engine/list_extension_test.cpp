#include "engine/list_extension.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/crc32.h"

namespace rg {
namespace {

constexpr std::int64_t k2G = std::int64_t{1} << 31;
constexpr std::int64_t k4G = std::int64_t{1} << 32;
// Header and table of a section of three records.
constexpr std::size_t kHeaderSize = 24;
constexpr std::size_t kThreeRecordsStart = kHeaderSize + 4 * 4;

std::span<const std::uint8_t> as_bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::uint32_t get_u32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + i])) << (8 * i);
    return v;
}

void put_u32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

// Sets a record's checksum to agree with its contents, so that only a lying value is left.
void reseal_record(std::string& s, std::size_t at) {
    const std::uint32_t length = get_u32(s, at);
    put_u32(s, at + 4, crc32(as_bytes(s).subspan(at + 8, length - 8)));
}

std::vector<BoundExtension> three_records() {
    BoundExtension etag{0, 0x11111111u, {}};
    etag.data.total_size = 5 * k2G;
    etag.data.downloaded = k2G + 10;
    etag.data.ranges = {{0, k2G - 1}, {k2G, 11}, {k4G - 5, 10}};
    etag.data.validator_kind = ValidatorKind::EntityTag;
    etag.data.validator = "\"v1-abc\"";
    etag.data.status_text =
        "Error: The File has Changed on the Server, Clear the Download to "
        "Start Again";

    BoundExtension date{1, 0x22222222u, {}};
    date.data.total_size = 0;
    date.data.downloaded = 3 * k2G;
    date.data.ranges = {{k2G - 100, k2G + 200}};
    date.data.validator_kind = ValidatorKind::HttpDate;
    date.data.validator = "Wed, 21 Oct 2015 07:28:00 GMT";
    date.data.address_changed = true;

    BoundExtension ftp{2, 0x33333333u, {}};
    ftp.data.total_size = 1000;
    ftp.data.downloaded = 100;
    ftp.data.ranges = {{0, 100}};
    ftp.data.validator_kind = ValidatorKind::FtpModifyTime;
    ftp.data.validator = "20240101120000";
    ftp.data.status_text = "Passed Retry Count";
    return {etag, date, ftp};
}

std::string encode(const std::vector<BoundExtension>& records) {
    const auto bytes = encode_list_extension(records);
    EXPECT_TRUE(bytes.has_value());
    return bytes.value_or(std::string());
}

std::vector<BoundExtension> decode(const std::string& bytes) {
    return decode_list_extension(as_bytes(bytes));
}

std::vector<BoundExtension> without(std::vector<BoundExtension> records, std::size_t index) {
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(index));
    return records;
}

TEST(ListExtension, RoundTripOfValidatorsStatusAndSizesAround2And4GiB) {
    const auto records = three_records();
    const std::string bytes = encode(records);
    EXPECT_EQ(bytes.substr(0, 8), std::string("RGLEXT\r\n"));
    EXPECT_EQ(get_u32(bytes, 16), bytes.size());
    EXPECT_EQ(decode(bytes), records);
    EXPECT_EQ(decode(encode({})), std::vector<BoundExtension>{});
    // What follows the section is not read.
    EXPECT_EQ(decode(bytes + "trailing"), records);
}

TEST(ListExtension, UnsoundRecordsAreNotWritten) {
    const auto refused = [](auto change) {
        auto records = three_records();
        change(records[1].data);
        return !encode_list_extension(records).has_value();
    };
    EXPECT_TRUE(refused([](ItemExtension& e) { e.total_size = kMaxFileSize + 1; }));
    EXPECT_TRUE(refused([](ItemExtension& e) { e.downloaded = -1; }));
    EXPECT_TRUE(refused([](ItemExtension& e) { e.total_size = k2G; }));  // range passes it
    EXPECT_TRUE(refused([](ItemExtension& e) { e.ranges = {{10, 5}, {15, 5}}; }));  // touching
    EXPECT_TRUE(refused([](ItemExtension& e) { e.ranges = {{10, 5}, {0, 5}}; }));   // not ascending
    EXPECT_TRUE(refused([](ItemExtension& e) { e.ranges = {{kMaxFileSize, 1}}; }));
    EXPECT_TRUE(refused([](ItemExtension& e) { e.validator_kind = ValidatorKind::EntityTag; }));
    EXPECT_TRUE(refused([](ItemExtension& e) { e.validator = "Wed,\r\nX-Injected: 1"; }));
    EXPECT_TRUE(refused([](ItemExtension& e) { e.validator = std::string(300, 'a'); }));
    EXPECT_TRUE(refused([](ItemExtension& e) {
        e.validator_kind = ValidatorKind::None;
        e.validator = std::string(300, 'a');
    }));
    EXPECT_TRUE(refused([](ItemExtension& e) { e.status_text = "two\nlines"; }));
    EXPECT_TRUE(refused([](ItemExtension& e) { e.status_text = ""; }));
    EXPECT_FALSE(refused([](ItemExtension& e) { e.ranges = {{0, kMaxFileSize}}; }));
}

TEST(ListExtension, ValidatorKinds) {
    EXPECT_EQ(validator_kind_for("\"x\"", false), ValidatorKind::EntityTag);
    EXPECT_EQ(validator_kind_for("Wed, 21 Oct 2015 07:28:00 GMT", false), ValidatorKind::HttpDate);
    EXPECT_EQ(validator_kind_for("20240101120000", true), ValidatorKind::FtpModifyTime);
    EXPECT_EQ(validator_kind_for("", false), ValidatorKind::None);
    EXPECT_EQ(validator_kind_for("W/\"x\"", false), ValidatorKind::None);
    EXPECT_EQ(validator_kind_for("w/\"x\"", false), ValidatorKind::None);
    EXPECT_EQ(validator_kind_for("\"x\"", true), ValidatorKind::None);
    EXPECT_EQ(validator_kind_for("a\tb", false), ValidatorKind::None);
}

TEST(ListExtension, AFlippedByteInARecordDropsThatRecordOnly) {
    const auto records = three_records();
    const std::string bytes = encode(records);
    const std::size_t first = kThreeRecordsStart;
    const std::size_t second = first + get_u32(bytes, kHeaderSize);
    const std::size_t third = second + get_u32(bytes, kHeaderSize + 4);
    for (std::size_t at = second; at < third; ++at) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x40);
        ASSERT_EQ(decode(damaged), without(records, 1)) << at;
    }
    // A damaged table leaves the records to be found by their own lengths.
    for (std::size_t at = kHeaderSize; at < first; ++at) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
        ASSERT_EQ(decode(damaged), records) << at;
    }
    // A damaged header: the section is not recognised at all.
    for (std::size_t at = 0; at < kHeaderSize; ++at) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
        ASSERT_TRUE(decode(damaged).empty()) << at;
    }
}

TEST(ListExtension, LyingLengthsDropTheirRecordOnly) {
    const auto records = three_records();
    const std::string bytes = encode(records);
    const std::size_t second = kThreeRecordsStart + get_u32(bytes, kHeaderSize);
    // Offsets in a record: validator length 34, status length 36, range count 38.
    struct Lie {
        std::size_t offset;
        std::size_t width;
        std::uint32_t value;
    };
    for (const Lie lie : {Lie{34, 2, 0xffff}, Lie{34, 2, 0}, Lie{36, 2, 7}, Lie{38, 4, 0xffffffff},
                          Lie{38, 4, 0}, Lie{38, 4, 2}}) {
        std::string damaged = bytes;
        for (std::size_t i = 0; i < lie.width; ++i)
            damaged[second + lie.offset + i] = static_cast<char>(lie.value >> (8 * i));
        reseal_record(damaged, second);
        EXPECT_EQ(decode(damaged), without(records, 1)) << lie.offset << " " << lie.value;
    }
    // A record's own length that lies, for records found by the table or without it.
    for (const std::uint32_t length : {0u, 8u, 100u, 0xffffffffu}) {
        std::string damaged = bytes;
        put_u32(damaged, second, length);
        EXPECT_EQ(decode(damaged), without(records, 1)) << length;
        put_u32(damaged, kHeaderSize + 4 * 3, 0);  // the table is damaged too
        EXPECT_EQ(decode(damaged), (std::vector<BoundExtension>{records[0]})) << length;
    }
}

TEST(ListExtension, AHugeCountOrAnotherVersionInASealedHeaderReadsNothing) {
    const std::string bytes = encode(three_records());
    for (const auto& [at, value] : {std::pair{12, 0xffffffffu}, {8, kExtensionVersion + 1}}) {
        std::string changed = bytes;
        put_u32(changed, at, value);
        put_u32(changed, 20, crc32(as_bytes(changed).first(20)));
        EXPECT_TRUE(decode(changed).empty()) << at;
    }
}

}  // namespace
}  // namespace rg
