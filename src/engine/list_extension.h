#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/range_list.h"
#include "platform/local_file.h"

namespace rg {

// The section after the last item of a version-101 list. A version-101 reader stops after the
// items it counted and never sees it. Layout, little-endian:
//
//   header  "RGLEXT\r\n", u32 version, u32 record count, u32 section length, u32 CRC-32 of these
//   table   u32 length of each record, then u32 CRC-32 of the table
//   records one per item: u32 length, u32 CRC-32 of what follows it in the record, u32 item index,
//           u32 CRC-32 of the item's version-101 bytes, i64 total size, i64 downloaded, u8 flags,
//           u8 validator kind, u16 validator length, u16 status length, u32 range count,
//           ranges as i64 start and i64 length, validator text, status text
//
// Every record stands on its own: one that is damaged is dropped and the others still apply. The
// table finds the records when a record's own length is damaged; when the table is damaged, the
// records' own lengths do.
inline constexpr std::string_view kExtensionMagic{"RGLEXT\r\n", 8};
inline constexpr std::uint32_t kExtensionVersion = 1;

enum class ValidatorKind : std::uint8_t {
    None = 0,
    EntityTag = 1,      // an HTTP ETag, which begins with '"'
    HttpDate = 2,       // an HTTP Last-Modified date
    FtpModifyTime = 3,  // the text of an FTP MDTM answer
};

// What the list keeps of an item beyond its version-101 record.
struct ItemExtension {
    std::int64_t total_size = 0;  // 0 while unknown
    std::int64_t downloaded = 0;
    std::vector<ByteRange> ranges;  // ascending, apart, within total_size when it is known
    ValidatorKind validator_kind = ValidatorKind::None;
    std::string validator;  // empty exactly when the kind is None
    bool address_changed = false;
    std::optional<std::string> status_text;  // absent: the item loads "Idle"

    bool operator==(const ItemExtension&) const = default;
};

// A record tied to its item: the item's place in the list and the CRC-32 of the bytes its
// version-101 record was written as, so that it never applies to an item whose 101 part changed.
struct BoundExtension {
    std::uint32_t item_index = 0;
    std::uint32_t legacy_checksum = 0;
    ItemExtension data;

    bool operator==(const BoundExtension&) const = default;
};

// The section for these records; none when a record is not sound (see decode) or the section
// would pass the 32-bit lengths.
std::optional<std::string> encode_list_extension(std::span<const BoundExtension> records);

// The sound records of the section at the start of `bytes`, in file order; none when the bytes
// do not begin with a section of this version. A record is sound when it is whole, its checksum
// holds and its values are in bounds: sizes within 0 and kMaxFileSize, downloaded within a known
// total size, ranges ascending and apart and within the size, a validator of its kind and a
// status within their limits and without control characters. Lengths and counts are checked against
// the bytes present before anything is allocated.
std::vector<BoundExtension> decode_list_extension(std::span<const std::uint8_t> bytes);

// The kind of validator a download of this protocol keeps for `text`: None for a text it cannot
// keep (empty, too long, with control characters, a weak ETag, an ETag for FTP).
ValidatorKind validator_kind_for(std::string_view text, bool ftp);

// A status text a list may bring back: not empty, within the status limit, no control characters.
bool is_keepable_status(std::string_view text);

}  // namespace rg
