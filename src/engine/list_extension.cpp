#include "engine/list_extension.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/crc32.h"
#include "engine/download_item.h"
#include "protocols/http_headers.h"

namespace rg {

namespace {

constexpr std::size_t kU8 = 1;
constexpr std::size_t kU16 = 2;
constexpr std::size_t kU32 = 4;
constexpr std::size_t kI64 = 8;
constexpr int kBitsPerByte = 8;

// magic, version, record count, section length, checksum
constexpr std::size_t kHeaderSize = kExtensionMagic.size() + 4 * kU32;
// length and checksum of a record, which its checksum does not cover
constexpr std::size_t kRecordFrameSize = 2 * kU32;
// index, 101 checksum, total size, downloaded, flags, kind, validator length, status length,
// range count
constexpr std::size_t kRecordFixedSize =
    kRecordFrameSize + 2 * kU32 + 2 * kI64 + 2 * kU8 + 2 * kU16 + kU32;
constexpr std::size_t kRangeSize = 2 * kI64;

constexpr std::uint8_t kFlagAddressChanged = 0x01;
constexpr std::uint8_t kFlagStatusKept = 0x02;
constexpr std::uint8_t kKnownFlags = kFlagAddressChanged | kFlagStatusKept;

constexpr char kQuote = '"';
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7f;

bool has_control_characters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < kFirstPrintable || u == kDelete;
    });
}

bool ranges_are_sound(const std::vector<ByteRange>& ranges, std::int64_t total_size) {
    const std::int64_t limit = total_size > 0 ? total_size : kMaxFileSize;
    std::int64_t previous_end = -1;
    for (const ByteRange& r : ranges) {
        if (r.start < 0 || r.length <= 0 || r.start <= previous_end || r.length > limit - r.start)
            return false;
        previous_end = r.end();
    }
    return true;
}

bool is_sound(const ItemExtension& e) {
    if (e.total_size < 0 || e.total_size > kMaxFileSize || e.downloaded < 0 ||
        e.downloaded > kMaxFileSize || (e.total_size > 0 && e.downloaded > e.total_size))
        return false;
    if (e.validator_kind !=
            validator_kind_for(e.validator, e.validator_kind == ValidatorKind::FtpModifyTime) ||
        (e.validator_kind == ValidatorKind::None) != e.validator.empty())
        return false;
    if (e.status_text && !is_keepable_status(*e.status_text))
        return false;
    return ranges_are_sound(e.ranges, e.total_size);
}

void put_u8(std::string& out, std::uint8_t v) {
    out.push_back(static_cast<char>(v));
}

void put_le(std::string& out, std::uint64_t v, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(static_cast<char>(v >> (kBitsPerByte * i)));
}

void put_u32_at(std::string& out, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < kU32; ++i)
        out[at + i] = static_cast<char>(v >> (kBitsPerByte * i));
}

std::uint32_t crc_of(std::string_view bytes) {
    return crc32({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

std::string encode_record(const BoundExtension& b) {
    const ItemExtension& e = b.data;
    std::string out;
    out.reserve(kRecordFixedSize + e.ranges.size() * kRangeSize + e.validator.size() +
                (e.status_text ? e.status_text->size() : 0));
    put_le(out, 0, kU32);  // length and checksum, filled in below
    put_le(out, 0, kU32);
    put_le(out, b.item_index, kU32);
    put_le(out, b.legacy_checksum, kU32);
    put_le(out, static_cast<std::uint64_t>(e.total_size), kI64);
    put_le(out, static_cast<std::uint64_t>(e.downloaded), kI64);
    std::uint8_t flags = 0;
    if (e.address_changed)
        flags |= kFlagAddressChanged;
    if (e.status_text)
        flags |= kFlagStatusKept;
    put_u8(out, flags);
    put_u8(out, static_cast<std::uint8_t>(e.validator_kind));
    put_le(out, e.validator.size(), kU16);
    put_le(out, e.status_text ? e.status_text->size() : 0, kU16);
    put_le(out, e.ranges.size(), kU32);
    for (const ByteRange& r : e.ranges) {
        put_le(out, static_cast<std::uint64_t>(r.start), kI64);
        put_le(out, static_cast<std::uint64_t>(r.length), kI64);
    }
    out += e.validator;
    if (e.status_text)
        out += *e.status_text;
    put_u32_at(out, 0, static_cast<std::uint32_t>(out.size()));
    put_u32_at(out, kU32, crc_of(std::string_view(out).substr(kRecordFrameSize)));
    return out;
}

// Reads little-endian values from a span; a read past its end fails and leaves it failed.
class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }
    bool ok() const { return ok_; }

    std::uint64_t le(std::size_t width) {
        if (width > remaining()) {
            ok_ = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i)
            v |= static_cast<std::uint64_t>(bytes_[pos_ + i]) << (kBitsPerByte * i);
        pos_ += width;
        return v;
    }
    std::uint32_t u32() { return static_cast<std::uint32_t>(le(kU32)); }
    std::int64_t i64() { return static_cast<std::int64_t>(le(kI64)); }

    std::string text(std::size_t size) {
        if (size > remaining()) {
            ok_ = false;
            return {};
        }
        std::string t(reinterpret_cast<const char*>(bytes_.data() + pos_), size);
        pos_ += size;
        return t;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The record that `bytes` holds exactly, when it is whole and sound.
std::optional<BoundExtension> decode_record(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kRecordFixedSize)
        return std::nullopt;
    Reader in(bytes);
    const std::uint32_t length = in.u32();
    const std::uint32_t checksum = in.u32();
    if (length != bytes.size() || checksum != crc32(bytes.subspan(kRecordFrameSize)))
        return std::nullopt;

    BoundExtension b;
    ItemExtension& e = b.data;
    b.item_index = in.u32();
    b.legacy_checksum = in.u32();
    e.total_size = in.i64();
    e.downloaded = in.i64();
    const auto flags = static_cast<std::uint8_t>(in.le(kU8));
    e.validator_kind = static_cast<ValidatorKind>(in.le(kU8));
    const auto validator_size = static_cast<std::size_t>(in.le(kU16));
    const auto status_size = static_cast<std::size_t>(in.le(kU16));
    const std::size_t range_count = in.u32();
    if ((flags & ~kKnownFlags) != 0 || (status_size > 0 && (flags & kFlagStatusKept) == 0))
        return std::nullopt;
    // The counts must name exactly the bytes left, checked before the ranges are allocated.
    if (range_count > in.remaining() / kRangeSize ||
        range_count * kRangeSize + validator_size + status_size != in.remaining())
        return std::nullopt;

    e.ranges.resize(range_count);
    for (ByteRange& r : e.ranges) {
        r.start = in.i64();
        r.length = in.i64();
    }
    e.validator = in.text(validator_size);
    if ((flags & kFlagStatusKept) != 0)
        e.status_text = in.text(status_size);
    e.address_changed = (flags & kFlagAddressChanged) != 0;
    if (!in.ok() || !is_sound(e))
        return std::nullopt;
    return b;
}

}  // namespace

bool is_keepable_status(std::string_view text) {
    return !text.empty() && text.size() <= kStatusTextLimit && !has_control_characters(text);
}

ValidatorKind validator_kind_for(std::string_view text, bool ftp) {
    if (text.empty() || text.size() > kValidatorMax || has_control_characters(text))
        return ValidatorKind::None;
    if (ftp)
        return text.front() == kQuote ? ValidatorKind::None : ValidatorKind::FtpModifyTime;
    if (text.front() == kQuote)
        return ValidatorKind::EntityTag;
    return is_weak_etag(text) ? ValidatorKind::None : ValidatorKind::HttpDate;
}

std::optional<std::string> encode_list_extension(std::span<const BoundExtension> records) {
    constexpr std::uint64_t kLargestLength = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::string> encoded;
    encoded.reserve(records.size());
    std::uint64_t section_length = kHeaderSize + (records.size() + 1) * kU32;
    for (const BoundExtension& b : records) {
        if (!is_sound(b.data))
            return std::nullopt;
        encoded.push_back(encode_record(b));
        section_length += encoded.back().size();
        if (encoded.back().size() > kLargestLength || section_length > kLargestLength)
            return std::nullopt;
    }

    std::string out(kExtensionMagic);
    put_le(out, kExtensionVersion, kU32);
    put_le(out, records.size(), kU32);
    put_le(out, section_length, kU32);
    put_le(out, crc_of(out), kU32);
    const std::size_t table_start = out.size();
    for (const std::string& record : encoded)
        put_le(out, record.size(), kU32);
    put_le(out, crc_of(std::string_view(out).substr(table_start)), kU32);
    for (const std::string& record : encoded)
        out += record;
    return out;
}

std::vector<BoundExtension> decode_list_extension(std::span<const std::uint8_t> bytes) {
    std::vector<BoundExtension> found;
    if (bytes.size() < kHeaderSize ||
        std::memcmp(bytes.data(), kExtensionMagic.data(), kExtensionMagic.size()) != 0)
        return found;
    Reader in(bytes.subspan(kExtensionMagic.size()));
    const std::uint32_t version = in.u32();
    const std::size_t count = in.u32();
    const std::size_t section_length = in.u32();
    const std::uint32_t header_checksum = in.u32();
    const std::size_t header_body = kHeaderSize - kU32;
    if (header_checksum != crc32(bytes.first(header_body)) || version != kExtensionVersion)
        return found;
    if (count > (bytes.size() - kHeaderSize) / kU32)
        return found;  // not even the table is there: the records cannot be either

    // The table, when whole and in agreement with the section's length.
    const std::size_t table_size = (count + 1) * kU32;
    std::vector<std::size_t> lengths;
    if (table_size <= bytes.size() - kHeaderSize) {
        const auto table = bytes.subspan(kHeaderSize, table_size);
        Reader t(table);
        std::uint64_t total = kHeaderSize + table_size;
        lengths.resize(count);
        for (std::size_t& length : lengths) {
            length = t.u32();
            total += length;
        }
        if (t.u32() != crc32(table.first(count * kU32)) || total != section_length)
            lengths.clear();
    }

    std::size_t pos = std::min(bytes.size(), kHeaderSize + table_size);
    for (std::size_t i = 0; i < count && pos < bytes.size(); ++i) {
        const std::size_t left = bytes.size() - pos;
        std::size_t length = 0;
        if (!lengths.empty()) {
            length = lengths[i];
        } else {
            // Without a table the records' own lengths lead, up to the first that does not hold.
            if (left < kU32)
                break;
            Reader own(bytes.subspan(pos, kU32));
            length = own.u32();
        }
        if (length > left)
            break;
        if (auto record = decode_record(bytes.subspan(pos, length)))
            found.push_back(std::move(*record));
        else if (lengths.empty())
            break;
        pos += length;
    }
    return found;
}

}  // namespace rg
