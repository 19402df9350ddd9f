#include "engine/download_item.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <limits>

namespace rg {

namespace {

constexpr std::uint64_t kUnitStep = 1024;
constexpr std::uint64_t kLargestInUnit = 1023;
// Bytes per millisecond to kilobytes per second: the single-precision value just below
// 1000 / 1024.
constexpr float kBytesPerMsToKbPerS = 0.97656244f;

}  // namespace

std::string format_size(std::int64_t value) {
    // A negative count (never a size) shows as 0 rather than as a huge unsigned number.
    const auto bytes = static_cast<std::uint64_t>(std::max<std::int64_t>(value, 0));
    char text[48];
    if (bytes <= kLargestInUnit) {
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes / kUnitStep <= kLargestInUnit) {
        std::snprintf(text, sizeof text, "%llu KB",
                      static_cast<unsigned long long>(bytes / kUnitStep));
    } else {
        const double mb = static_cast<double>(bytes) / kUnitStep / kUnitStep;
        std::snprintf(text, sizeof text, "%.1f MB", mb);
    }
    return text;
}

std::string_view file_name_of(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return path.substr(slash + 1);
}

void ItemData::set_local_path(std::string_view path) {
    set_field_text(saved.local_path, path);
    file_name = std::string(file_name_of(local_path()).substr(0, kFileNameLimit));
}

void ItemData::set_status(std::string_view text) {
    status_text.assign(text.substr(0, kStatusTextLimit));
}

void ItemData::clear_ranges() {
    ranges.clear();
    saved.range_count = 0;
    saved.downloaded = 0;
}

bool ItemData::remove_range(std::size_t index) {
    if (index >= ranges.count())
        return false;
    const std::int64_t length = ranges[index].length;
    ranges.remove(index);
    saved.range_count = static_cast<std::int32_t>(ranges.count());
    saved.downloaded = saved.downloaded > length ? saved.downloaded - length : 0;
    return true;
}

DownloadItem::DownloadItem() {
    connection.context = this;
}

std::string DownloadItem::url() const {
    std::lock_guard guard(mutex_);
    return std::string(data_.url());
}

std::string DownloadItem::local_path() const {
    std::lock_guard guard(mutex_);
    return std::string(data_.local_path());
}

std::string DownloadItem::status_text() const {
    std::lock_guard guard(mutex_);
    return data_.status_text;
}

std::string DownloadItem::file_name() const {
    std::lock_guard guard(mutex_);
    return data_.file_name;
}

std::int64_t DownloadItem::total_size() const {
    std::lock_guard guard(mutex_);
    return data_.saved.total_size;
}

std::int64_t DownloadItem::downloaded() const {
    std::lock_guard guard(mutex_);
    return data_.saved.downloaded;
}

DownloadItem::Counts DownloadItem::counts() const {
    std::lock_guard guard(mutex_);
    return {data_.saved.downloaded, data_.saved.total_size};
}

bool DownloadItem::is_complete() const {
    std::lock_guard guard(mutex_);
    return data_.is_complete();
}

void DownloadItem::set_status(std::string_view text) {
    std::lock_guard guard(mutex_);
    data_.set_status(text);
}

bool DownloadItem::store_chunk(std::int64_t start, std::int64_t length, const void* bytes,
                               std::int64_t* added, int* write_error) {
    if (added != nullptr)
        *added = 0;
    if (write_error != nullptr)
        *write_error = 0;
    if (start < 0 || length < 0 || start > kMaxFileSize || length > kMaxFileSize - start)
        return false;
    const std::int64_t end = start + length;
    if (length == 0)
        return true;

    std::lock_guard guard(mutex_);
    if (data_.saved.total_size != 0 && end > data_.saved.total_size)
        return false;
    if (!data_.file)
        return false;
    if (!data_.file->write_at(start, bytes, static_cast<std::size_t>(length))) {
        if (write_error != nullptr)
            *write_error = errno;
        return false;
    }
    const std::int64_t fresh = data_.ranges.add(start, length);
    if (added != nullptr)
        *added = fresh;
    data_.saved.range_count = static_cast<std::int32_t>(data_.ranges.count());
    return true;
}

ItemSnapshot DownloadItem::snapshot() const {
    std::lock_guard guard(mutex_);
    ItemSnapshot snap{data_.saved,     data_.ranges.items(),  data_.file,
                      data_.validator, data_.address_changed, std::nullopt};
    snap.saved.range_count = static_cast<std::int32_t>(snap.ranges.size());
    const ItemState now = state.load();
    if (now == ItemState::Stopped || now == ItemState::InfoHeld)
        snap.status_text = data_.status_text;
    return snap;
}

void DownloadItem::update_speed(Tick now) {
    std::lock_guard guard(mutex_);
    if (now == data_.speed_mark_tick)
        return;
    const Tick elapsed = now - data_.speed_mark_tick;
    const std::int64_t bytes = data_.saved.downloaded - data_.speed_mark_bytes;
    // A count that went down (the ranges were cleared) is no negative speed.
    const float rate = bytes > 0 ? static_cast<float>(bytes) / static_cast<float>(elapsed) : 0.0f;
    speed.store(rate * kBytesPerMsToKbPerS);
    data_.speed_mark_bytes = data_.saved.downloaded;
    data_.speed_mark_tick = now;
}

void DownloadItem::add_downloaded(std::int64_t bytes) {
    std::lock_guard guard(mutex_);
    data_.saved.downloaded =
        std::clamp<std::int64_t>(data_.saved.downloaded + bytes, 0, kMaxFileSize);
}

bool DownloadItem::wait_while_running(std::uint32_t ms) {
    std::unique_lock guard(mutex_);
    return stop_signal_.wait_for(guard, std::chrono::milliseconds(ms),
                                 [&] { return state.load() != ItemState::Running; });
}

void DownloadItem::notify_stop() {
    {
        // Taking the mutex orders the state change before a waiter's check.
        std::lock_guard guard(mutex_);
    }
    stop_signal_.notify_all();
}

void DownloadItem::release_file() {
    std::shared_ptr<LocalFile> file;
    {
        auto data = lock();
        file = std::move(data->file);
    }
}

std::string format_progress(std::int64_t downloaded, std::int64_t total_size) {
    const double percent =
        total_size > 0 ? static_cast<double>(downloaded) / static_cast<double>(total_size) * 100.0
                       : 0.0;
    char text[96];
    std::snprintf(text, sizeof text, "%s/%s (%.2f%%)", format_size(downloaded).c_str(),
                  format_size(total_size).c_str(), percent);
    return text;
}

std::string format_progress(const DownloadItem& item) {
    const auto counts = item.counts();
    return format_progress(counts.downloaded, counts.total_size);
}

}  // namespace rg
