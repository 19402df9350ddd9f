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

#include "engine/credentials.h"
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

void append_i32(std::string& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
    out.append(b, sizeof b);
}

// Keeps the ranges that name bytes a file of `total_size` can hold, in order, joining overlaps.
std::vector<ByteRange> sound_ranges(std::vector<ByteRange> ranges, std::int32_t total_size) {
    std::erase_if(ranges, [&](const ByteRange& r) {
        return r.start < 0 || r.length <= 0 || r.end() > std::numeric_limits<std::int32_t>::max() ||
               (total_size > 0 && r.end() > total_size);
    });
    std::sort(ranges.begin(), ranges.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.start < b.start; });
    std::vector<ByteRange> joined;
    for (const ByteRange& r : ranges) {
        if (!joined.empty() && r.start <= joined.back().end()) {
            ByteRange& last = joined.back();
            last.length = static_cast<std::int32_t>(std::max(last.end(), r.end()) - last.start);
        } else {
            joined.push_back(r);
        }
    }
    return joined;
}

void append_snapshot(std::string& out, const ItemSnapshot& snap, bool with_ranges) {
    std::uint8_t block[kSavedBlockSize];
    SavedBlock saved = snap.saved;
    if (snap.saved.resumable == 1 && !with_ranges)
        saved.range_count = 0;
    encode_saved_block(saved, std::span<std::uint8_t, kSavedBlockSize>(block));
    out.append(reinterpret_cast<const char*>(block), sizeof block);
    if (saved.resumable != 1)
        return;
    for (std::int32_t j = 0; j < saved.range_count; ++j) {
        append_i32(out, static_cast<std::int32_t>(snap.ranges[static_cast<std::size_t>(j)].start));
        append_i32(out, static_cast<std::int32_t>(snap.ranges[static_cast<std::size_t>(j)].length));
    }
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

    std::vector<std::uint8_t> block(kSavedBlockSize);
    for (std::int32_t i = 0; i < count; ++i) {
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
            ranges = sound_ranges(std::move(ranges), saved.total_size);
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
        move_url_user_info(item);
    }
    return ListLoadStatus::Loaded;
}

std::string serialise_list(const DownloadList& list) {
    std::string out;
    if (list.empty())
        return out;
    append_i32(out, kListVersion);
    append_i32(out, list.count());
    for (const auto& item : list)
        append_snapshot(out, item->snapshot(), true);
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

    std::vector<std::string> records(snapshots.size());
    for (std::size_t i = 0; i < snapshots.size(); ++i)
        append_snapshot(records[i], snapshots[i], true);
    if (saved_records_ && *saved_records_ == records)
        return true;

    // A record saved last time names bytes that were flushed then. Any other is flushed now; a
    // file that cannot be flushed is saved without ranges this time, which costs a download
    // again, never a hole.
    std::unordered_set<std::string_view> saved;
    if (saved_records_)
        saved.insert(saved_records_->begin(), saved_records_->end());
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        if (saved.contains(records[i]) || ranges_are_durable(snapshots[i]))
            continue;
        records[i].clear();
        append_snapshot(records[i], snapshots[i], false);
    }

    saved_records_.reset();
    AtomicFileWriter writer(path_, ops_);
    if (!writer.open())
        return false;
    if (!records.empty()) {
        std::string header;
        append_i32(header, kListVersion);
        append_i32(header, static_cast<std::int32_t>(records.size()));
        if (!writer.write(header))
            return false;
    }
    for (const std::string& record : records) {
        if (!writer.write(record))
            return false;
    }
    if (!writer.commit())
        return false;
    saved_records_ = std::move(records);
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
