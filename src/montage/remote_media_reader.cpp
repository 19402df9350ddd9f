#include "montage/remote_media_reader.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "engine/download_item.h"
#include "platform/local_file.h"

namespace rg {

namespace {

// Fetches [start, start + length); true when every byte came. Refused while the Montage is
// aborting, so that a Cancel between two requests of one span stops the second.
bool fetch_all(DownloadItem& item, const SpanFetcher& fetch, std::int64_t start,
               std::int64_t length) {
    if (item.montage_abort.load())
        return false;
    return fetch(start, length) >= length;
}

}  // namespace

bool ensure_span(DownloadItem& item, std::int64_t start, std::int64_t length,
                 const SpanFetcher& fetch, std::int64_t min_gap_size) {
    const std::int64_t total = item.total_size();
    std::int64_t s = start;
    std::int64_t l = length;
    if (l <= 0 || s < 0 || s >= total)
        return false;
    l = std::min(l, total - s);

    // A copy: the fetches below merge new ranges into the list while it is walked.
    const std::vector<ByteRange> ranges = item.lock()->ranges.items();
    if (ranges.empty())
        return fetch_all(item, fetch, s, l);

    // `reach` is the furthest end of the ranges walked so far; the span's start never lies below
    // it, so a range inside an earlier one is passed over and no byte on disk is asked for again.
    std::int64_t reach = std::numeric_limits<std::int64_t>::min();
    for (const ByteRange& r : ranges) {
        if (l <= 0)
            return true;
        if (r.length <= 0 || r.end() <= reach)
            continue;
        if (s < r.start) {
            if (s + l <= r.start) {
                // What is left lies before r: close a small hole up to it, then fetch it all.
                const std::int64_t gap = r.start - (s + l);
                if (gap <= min_gap_size)
                    l += gap;
                return fetch_all(item, fetch, s, l);
            }
            // What is left runs into r: fetch up to r, continue behind it.
            const std::int64_t before = r.start - s;
            if (!fetch_all(item, fetch, s, before))
                return false;
            l -= before + r.length;
            s = r.end();
        } else if (s < r.end()) {
            l -= r.end() - s;
            s = r.end();
        } else if (s > r.end() && s - r.end() <= min_gap_size) {
            // A small hole after r is fetched with the span.
            l += s - r.end();
            s = r.end();
        }
        reach = std::max(reach, r.end());
    }
    if (l <= 0)
        return true;
    return fetch_all(item, fetch, s, l);
}

std::int32_t read_through(DownloadItem& item, std::uint8_t* buffer, std::int64_t position,
                          std::int32_t count, const SpanFetcher& fetch,
                          const ReaderSettings& settings) {
    if (item.montage_abort.load() || count <= 0 || position < 0)
        return 0;
    const std::int64_t total = item.total_size();
    if (position >= total)
        return 0;

    const std::int64_t span = std::max(count, settings.min_seg_size);
    if (!ensure_span(item, position, span, fetch, settings.min_gap_size)) {
        item.montage_abort = true;
        return 0;
    }

    const std::shared_ptr<LocalFile> file = item.lock()->file;
    if (!file)
        return 0;
    const std::int64_t wanted = std::min<std::int64_t>(count, total - position);
    const ssize_t got = file->read_at(position, buffer, static_cast<std::size_t>(wanted));
    return got > 0 ? static_cast<std::int32_t>(got) : 0;
}

RemoteMediaReader::RemoteMediaReader(DownloadItem& item, SpanFetcher fetch, ReaderSettings settings)
    : item_(item), fetch_(std::move(fetch)), settings_(settings) {}

std::int64_t RemoteMediaReader::size() {
    return item_.total_size();
}

std::int64_t RemoteMediaReader::seek(std::int64_t offset, SeekOrigin origin) {
    std::int64_t base = 0;
    switch (origin) {
        case SeekOrigin::Start:
            break;
        case SeekOrigin::Current:
            base = item_.reader_position.load();
            break;
        case SeekOrigin::End:
            base = item_.total_size();
            break;
    }
    // A position outside what a download may hold is refused and the position stays where it was.
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0 || target > kMaxFileSize)
        return -1;
    item_.reader_position = target;
    return target;
}

std::int32_t RemoteMediaReader::read(std::uint8_t* buffer, std::int32_t count) {
    if (item_.montage_abort.load())
        return 0;
    const std::int64_t position = item_.reader_position.load();
    const std::int32_t got = read_through(item_, buffer, position, count, fetch_, settings_);
    item_.reader_position = position + got;
    return got;
}

std::int32_t RemoteMediaReader::read_local(std::uint8_t* buffer, std::int32_t count) {
    if (item_.montage_abort.load() || count <= 0)
        return 0;
    const std::int64_t position = item_.reader_position.load();
    std::int64_t present = 0;
    std::shared_ptr<LocalFile> file;
    {
        auto data = item_.lock();
        file = data->file;
        std::int64_t reach = position;
        for (const ByteRange& r : data->ranges.items()) {
            if (r.start > reach)
                break;
            reach = std::max(reach, r.end());
        }
        present = std::min<std::int64_t>(reach, data->saved.total_size) - position;
    }
    if (present <= 0 || !file)
        return 0;
    const std::int64_t wanted = std::min<std::int64_t>(count, present);
    const ssize_t got = file->read_at(position, buffer, static_cast<std::size_t>(wanted));
    if (got <= 0)
        return 0;
    item_.reader_position = position + got;
    return static_cast<std::int32_t>(got);
}

void RemoteMediaReader::rewind() {
    item_.reader_position = 0;
}

}  // namespace rg
