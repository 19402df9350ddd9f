#include "engine/list_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <vector>

#include "engine/crc32.h"
#include "engine/credentials.h"
#include "engine/list_extension.h"
#include "engine/list_records.h"
#include "platform/atomic_file.h"
#include "platform/file_moves.h"
#include "platform/local_file.h"

namespace rg {

namespace {

constexpr mode_t kListFileMode = 0600;

// Reads whole records from the bytes of a list file; a record that is cut off is a failure.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t remaining() const { return bytes_.size() - pos_; }
    std::size_t position() const { return pos_; }

    bool read(void* out, std::size_t size) {
        if (size > remaining())
            return false;
        std::memcpy(out, bytes_.data() + pos_, size);
        pos_ += size;
        return true;
    }

    bool read_i32(std::int32_t& value) {
        std::uint8_t b[4];
        if (!read(b, sizeof b))
            return false;
        value = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
            (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
        return true;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// The key by which a save knows an item record it wrote before: both of its parts.
std::string record_key(const ItemRecord& record) {
    if (!record.extension)
        return record.legacy;
    const BoundExtension bound{0, 0, *record.extension};
    return record.legacy + encode_list_extension({&bound, 1}).value_or(std::string());
}

// The version-101 part whole, then the extension, which names each item by its place and the
// checksum of its 101 record. When the extension cannot be written the 101 part stands alone.
std::vector<std::string> compose_list(const std::vector<ItemRecord>& records) {
    std::vector<std::string> parts;
    if (records.empty())
        return parts;
    std::string header;
    append_i32(header, kListVersion);
    append_i32(header, static_cast<std::int32_t>(records.size()));
    parts.push_back(std::move(header));
    std::vector<BoundExtension> bound;
    bound.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string& legacy = records[i].legacy;
        parts.push_back(legacy);
        if (!records[i].extension)
            continue;
        bound.push_back(
            {static_cast<std::uint32_t>(i),
             crc32({reinterpret_cast<const std::uint8_t*>(legacy.data()), legacy.size()}),
             *records[i].extension});
    }
    if (auto extension = encode_list_extension(bound))
        parts.push_back(std::move(*extension));
    return parts;
}

}  // namespace

ListLoadStatus parse_list(std::span<const std::uint8_t> bytes, DownloadList& list) {
    if (bytes.size() < kListHeaderSize)
        return ListLoadStatus::Loaded;
    ByteReader in(bytes);
    std::int32_t version = 0;
    std::int32_t count = 0;
    in.read_i32(version);
    if (version != kListVersion)
        return ListLoadStatus::WrongVersion;
    in.read_i32(count);
    if (count <= 0)
        return ListLoadStatus::Loaded;

    // The items read, with the checksum of the bytes each was read from, for the extension.
    std::vector<std::pair<DownloadItem*, std::uint32_t>> loaded;
    std::vector<std::uint8_t> block(kSavedBlockSize);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t record_start = in.position();
        if (!in.read(block.data(), block.size()))
            return ListLoadStatus::Damaged;
        SavedBlock saved = decode_saved_block(
            std::span<const std::uint8_t, kSavedBlockSize>(block.data(), kSavedBlockSize));

        std::vector<ByteRange> ranges;
        if (saved.resumable == 1 && saved.range_count > 0) {
            const auto wanted = static_cast<std::size_t>(saved.range_count);
            if (wanted > in.remaining() / kRangeRecordSize)
                return ListLoadStatus::Damaged;
            ranges.resize(wanted);
            for (ByteRange& r : ranges) {
                std::int32_t start = 0;
                std::int32_t length = 0;
                in.read_i32(start);
                in.read_i32(length);
                r = {start, length};
            }
            const std::size_t read_count = ranges.size();
            ranges = sound_ranges(std::move(ranges), saved.total_size, kLegacyOffsetMax);
            if (ranges.size() != read_count) {
                std::int64_t covered = 0;
                for (const ByteRange& r : ranges)
                    covered += r.length;
                saved.downloaded = std::min(covered, std::max<std::int64_t>(saved.downloaded, 0));
            }
        }
        if (saved.resumable != 1)
            ranges.clear();
        saved.range_count = static_cast<std::int32_t>(ranges.size());

        DownloadItem& item = list.append_item();
        item.connection.protocol = protocol_for_url(field_text(saved.url));
        {
            auto data = item.lock();
            data->saved = saved;
            data->ranges.assign(std::move(ranges));
            data->set_local_path(data->local_path());
        }
        loaded.emplace_back(&item,
                            crc32(bytes.subspan(record_start, in.position() - record_start)));
    }

    // A record applies only to the item it was written for; any other, or a damaged one, leaves
    // its item as its 101 record describes it.
    std::vector<bool> extended(loaded.size(), false);
    for (const BoundExtension& record : decode_list_extension(bytes.subspan(in.position()))) {
        const std::size_t index = record.item_index;
        if (index >= loaded.size() || extended[index] ||
            loaded[index].second != record.legacy_checksum)
            continue;
        extended[index] = true;
        DownloadItem& item = *loaded[index].first;
        apply_extension(*item.lock(), record.data, item.connection.protocol);
    }
    for (const auto& [item, checksum] : loaded)
        move_url_user_info(*item);
    return ListLoadStatus::Loaded;
}

std::string serialise_list(const DownloadList& list) {
    std::vector<ItemRecord> records;
    for (const auto& item : list)
        records.push_back(make_item_record(item->snapshot(), true));
    std::string out;
    for (const std::string& part : compose_list(records))
        out += part;
    return out;
}

ListFile::ListFile(std::string folder, Host& host, FileOps& ops)
    : folder_(std::move(folder)), host_(host), ops_(ops) {
    path_ = folder_ + "/" + std::string(kListFileName);
}

ListFile::OpenResult ListFile::open() {
    switch (lock_.acquire(path_ + std::string(kListLockSuffix))) {
        case InstanceLock::Result::Acquired:
            break;
        case InstanceLock::Result::HeldElsewhere:
            return OpenResult::Locked;
        case InstanceLock::Result::Failed:
            return OpenResult::Failed;
    }
    remove_stale_temp_files(path_);
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, kListFileMode);
    if (fd < 0) {
        lock_.release();
        return OpenResult::Failed;
    }
    ::close(fd);
    return OpenResult::Opened;
}

bool ListFile::keep_unreadable_copy() {
    const std::string aside = path_ + std::string(kUnreadableListSuffix);
    for (int n = 0; n <= kUnreadableCopiesMax; ++n) {
        const std::string name = n == 0 ? aside : aside + "." + std::to_string(n);
        const int err = keep_copy_no_replace(path_, name, ops_);
        if (err == 0)
            return true;
        if (err != EEXIST)
            return false;
    }
    return false;
}

bool ListFile::load(DownloadList& list) {
    // Whatever was saved before no longer describes the file.
    saved_records_.reset();
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    ListLoadStatus status = ListLoadStatus::Loaded;
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size >= kListHeaderSize) {
        // Mapped rather than read: the file's size bounds nothing we allocate.
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) {
            status = ListLoadStatus::Damaged;
        } else {
            status = parse_list({static_cast<const std::uint8_t*>(map), size}, list);
            ::munmap(map, size);
        }
    }
    ::close(fd);

    if (status == ListLoadStatus::Loaded)
        return true;
    // Said once: the file is replaced below, so the next load finds a sound list.
    host_.message_box(kLoadListFailedText, kErrorCaption, MessageButtons::Ok, MessageIcon::Error);
    // The original stays whole under another name before the items read from it replace it. When
    // no copy can be kept, the file is left as it is: a later load reads the same items again.
    if (keep_unreadable_copy())
        save(list);
    return false;
}

bool ListFile::ranges_are_durable(const ItemSnapshot& snap) {
    if (snap.saved.resumable != 1 || snap.ranges.empty())
        return true;
    if (snap.file)
        return snap.file->sync();
    // Closed files were flushed as they closed; a flush by name sees whether that went wrong.
    return flush_file_at(std::string(field_text(snap.saved.local_path)), ops_) !=
           FlushResult::Failed;
}

bool ListFile::write_list(const DownloadList& list) {
    std::vector<ItemSnapshot> snapshots;
    snapshots.reserve(static_cast<std::size_t>(list.count()));
    for (const auto& item : list)
        snapshots.push_back(item->snapshot());

    std::vector<ItemRecord> records;
    records.reserve(snapshots.size());
    std::vector<std::string> keys;
    keys.reserve(snapshots.size());
    for (const ItemSnapshot& snap : snapshots) {
        records.push_back(make_item_record(snap, true));
        keys.push_back(record_key(records.back()));
    }
    if (saved_records_ && *saved_records_ == keys)
        return true;

    // A record saved last time names bytes that were flushed then. Any other is flushed now; a
    // file that cannot be flushed is saved without ranges this time, which costs a download
    // again, never a hole.
    std::unordered_set<std::string_view> saved;
    if (saved_records_)
        saved.insert(saved_records_->begin(), saved_records_->end());
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (saved.contains(keys[i]) || ranges_are_durable(snapshots[i]))
            continue;
        records[i] = make_item_record(snapshots[i], false);
        keys[i] = record_key(records[i]);
    }

    saved_records_.reset();
    AtomicFileWriter writer(path_, ops_);
    if (!writer.open())
        return false;
    for (const std::string& part : compose_list(records)) {
        if (!writer.write(part))
            return false;
    }
    if (!writer.commit())
        return false;
    saved_records_ = std::move(keys);
    return true;
}

bool ListFile::save(const DownloadList& list) {
    if (saving_)
        return false;
    saving_ = true;
    const bool ok = write_list(list);
    if (!ok) {
        host_.message_box(kSaveListFailedText, kErrorCaption, MessageButtons::Ok,
                          MessageIcon::Error);
    }
    saving_ = false;
    return ok;
}

}  // namespace rg
