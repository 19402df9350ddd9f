#include "engine/list_records.h"

#include <algorithm>

namespace rg {

namespace {

bool passes_legacy_limits(const ItemSnapshot& snap) {
    if (snap.saved.total_size > kLegacyOffsetMax || snap.saved.downloaded > kLegacyOffsetMax)
        return true;
    return std::any_of(snap.ranges.begin(), snap.ranges.end(),
                       [](const ByteRange& r) { return r.end() > kLegacyOffsetMax; });
}

// The ranges wholly below the 101 limit, a crossing one cut at it.
std::vector<ByteRange> legacy_ranges(const std::vector<ByteRange>& ranges) {
    std::vector<ByteRange> kept;
    for (const ByteRange& r : ranges) {
        if (r.start >= kLegacyOffsetMax)
            break;
        kept.push_back({r.start, std::min(r.end(), kLegacyOffsetMax) - r.start});
    }
    return kept;
}

std::string legacy_record(const ItemSnapshot& snap, bool with_ranges) {
    SavedBlock saved = snap.saved;
    std::vector<ByteRange> ranges = with_ranges ? snap.ranges : std::vector<ByteRange>();
    if (passes_legacy_limits(snap)) {
        ranges = legacy_ranges(ranges);
        std::int64_t covered = 0;
        for (const ByteRange& r : ranges)
            covered += r.length;
        if (saved.total_size > kLegacyOffsetMax)
            saved.total_size = 0;
        saved.downloaded = covered;
        saved.range_count = static_cast<std::int32_t>(ranges.size());
    } else if (saved.resumable == 1) {
        saved.range_count = static_cast<std::int32_t>(ranges.size());
    }

    std::string out(kSavedBlockSize, '\0');
    encode_saved_block(
        saved, SavedBlockBytes(reinterpret_cast<std::uint8_t*>(out.data()), kSavedBlockSize));
    if (saved.resumable != 1)
        return out;
    for (const ByteRange& r : ranges) {
        append_i32(out, static_cast<std::int32_t>(r.start));
        append_i32(out, static_cast<std::int32_t>(r.length));
    }
    return out;
}

}  // namespace

void append_i32(std::string& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
    out.append(b, sizeof b);
}

std::vector<ByteRange> sound_ranges(std::vector<ByteRange> ranges, std::int64_t total_size,
                                    std::int64_t limit) {
    std::erase_if(ranges, [&](const ByteRange& r) {
        return r.start < 0 || r.length <= 0 || r.length > limit - r.start ||
               (total_size > 0 && r.end() > total_size);
    });
    std::sort(ranges.begin(), ranges.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.start < b.start; });
    std::vector<ByteRange> joined;
    for (const ByteRange& r : ranges) {
        if (!joined.empty() && r.start <= joined.back().end()) {
            ByteRange& last = joined.back();
            last.length = std::max(last.end(), r.end()) - last.start;
        } else {
            joined.push_back(r);
        }
    }
    return joined;
}

ItemRecord make_item_record(const ItemSnapshot& snap, bool with_ranges) {
    ItemRecord record;
    record.legacy = legacy_record(snap, with_ranges);

    const std::int64_t total = snap.saved.total_size;
    const std::int64_t downloaded = snap.saved.downloaded;
    if (total < 0 || total > kMaxFileSize || downloaded < 0 ||
        downloaded > (total > 0 ? total : kMaxFileSize))
        return record;

    ItemExtension& e = record.extension.emplace();
    e.total_size = total;
    e.downloaded = downloaded;
    if (snap.saved.resumable == 1 && with_ranges)
        e.ranges = sound_ranges(snap.ranges, e.total_size, kMaxFileSize);
    const bool ftp = protocol_for_url(field_text(snap.saved.url)) == Protocol::Ftp;
    e.validator_kind = validator_kind_for(snap.validator, ftp);
    if (e.validator_kind != ValidatorKind::None)
        e.validator = snap.validator;
    e.address_changed = snap.address_changed;
    if (snap.status_text && is_keepable_status(*snap.status_text))
        e.status_text = snap.status_text;
    return record;
}

void apply_extension(ItemData& data, const ItemExtension& e, Protocol protocol) {
    data.saved.total_size = e.total_size;
    data.saved.downloaded = e.downloaded;
    if (data.saved.resumable == 1)
        data.ranges.assign(e.ranges);
    else
        data.ranges.clear();
    data.saved.range_count = static_cast<std::int32_t>(data.ranges.count());
    if (e.validator_kind != ValidatorKind::None &&
        validator_kind_for(e.validator, protocol == Protocol::Ftp) == e.validator_kind)
        data.validator = e.validator;
    data.address_changed = e.address_changed;
    if (e.status_text)
        data.set_status(*e.status_text);
}

}  // namespace rg
