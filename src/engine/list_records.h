#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/download_item.h"
#include "engine/list_extension.h"
#include "protocols/connection.h"

namespace rg {

// The largest end of a range that a version-101 list holds: its reader adds start and length as
// 32-bit values.
inline constexpr std::int64_t kLegacyOffsetMax = 0x7fffffff;

// How one item is saved: its version-101 record (block, then its ranges when it is resumable) and
// its extension record, which an item with sizes out of bounds (a negative size, more downloaded
// than its size) goes without: its 101 record alone then describes it as it is.
struct ItemRecord {
    std::string legacy;
    std::optional<ItemExtension> extension;
};

// An item of 2 GiB or more keeps in its 101 record what a 101 reader can use: total size 0 when
// it does not fit, the ranges wholly below kLegacyOffsetMax (one that crosses it cut there), and a
// downloaded count that matches them. Every other item's 101 record is what it always was. The
// extension keeps the whole sizes and ranges, the validator, the changed-address mark and the
// status. Without `with_ranges` neither part names any range.
ItemRecord make_item_record(const ItemSnapshot& snap, bool with_ranges);

// The loaded item takes the extension's sizes and, when it is resumable, its ranges; the
// validator when it suits the item's protocol; the changed-address mark; the status when there is
// one.
void apply_extension(ItemData& data, const ItemExtension& extension, Protocol protocol);

// Keeps the ranges that name bytes a file of `total_size` (when known) can hold and that end by
// `limit`, in order, joining the ones that overlap or touch.
std::vector<ByteRange> sound_ranges(std::vector<ByteRange> ranges, std::int64_t total_size,
                                    std::int64_t limit);

void append_i32(std::string& out, std::int32_t value);

}  // namespace rg
