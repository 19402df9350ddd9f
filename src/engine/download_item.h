#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/item_state.h"
#include "engine/range_list.h"
#include "engine/saved_block.h"
#include "platform/clock.h"
#include "platform/local_file.h"
#include "protocols/connection.h"

namespace rg {

inline constexpr std::string_view kIdleStatus = "Idle";
inline constexpr std::size_t kStatusTextLimit = 1023;
inline constexpr std::size_t kFileNameLimit = 255;

// The fields of an item that its worker writes while the controller reads them (to paint rows and
// to save the list), guarded by the item's mutex. Reach them through DownloadItem::lock().
struct ItemData {
    SavedBlock saved;
    RangeList ranges;
    std::string status_text{kIdleStatus};
    std::string file_name;  // the part of local_path after its last '/'
    std::string pending_name;
    bool pending_rename = false;
    // What identifies the version of the file the ranges were fetched from: an ETag, else
    // Last-Modified (asked back with If-Range), or an FTP server's MDTM time. Kept in the list
    // file, so bytes of a changed file are never mixed in, not even across restarts.
    std::string validator;
    // The user gave the item another URL: the next answer must name the same total size before a
    // byte is written, and its validator is kept from then on.
    bool address_changed = false;
    Tick speed_mark_tick = 0;
    std::int64_t speed_mark_bytes = 0;
    std::shared_ptr<LocalFile> file;

    std::string_view url() const { return field_text(saved.url); }
    std::string_view local_path() const { return field_text(saved.local_path); }
    void set_url(std::string_view url) { set_field_text(saved.url, url); }
    // Also recomputes file_name.
    void set_local_path(std::string_view path);
    void set_status(std::string_view text);
    // Empties the ranges; range_count and downloaded become 0.
    void clear_ranges();
    // Removes one range; downloaded drops by its length, not below 0. The bytes stay in the file.
    bool remove_range(std::size_t index);
    bool is_complete() const { return ranges.covers_whole(saved.total_size); }
};

// What a save writes for one item, copied in one piece so that the ranges always agree with the
// range count written before them. `file` is the open local file, to be flushed before the list
// that records its ranges is.
struct ItemSnapshot {
    SavedBlock saved;
    std::vector<ByteRange> ranges;
    std::shared_ptr<LocalFile> file;
    std::string validator;
    bool address_changed = false;
    // The status a load brings back: none while a transfer or the Montage works on the item, whose
    // stage texts say nothing once the program has stopped.
    std::optional<std::string> status_text;
};

// Progress of one block inside a Montage span: bytes so far, span length, block size.
using ProgressHook = std::function<void(std::int64_t, std::int64_t, std::int32_t)>;
// A span about to be fetched for the Montage: start, length.
using RangeHook = std::function<void(std::int64_t, std::int64_t)>;

// One download. Items live in the DownloadList and keep their identity when moved; a worker holds
// a shared reference while it runs.
class DownloadItem {
  public:
    DownloadItem();
    DownloadItem(const DownloadItem&) = delete;
    DownloadItem& operator=(const DownloadItem&) = delete;

    class Locked {
      public:
        ItemData* operator->() const { return data_; }
        ItemData& operator*() const { return *data_; }

      private:
        friend class DownloadItem;
        Locked(std::mutex& m, ItemData& d) : guard_(m), data_(&d) {}
        std::unique_lock<std::mutex> guard_;
        ItemData* data_;
    };
    Locked lock() { return Locked(mutex_, data_); }
    // Shorthands that take the lock for one read.
    std::string url() const;
    std::string local_path() const;
    std::string status_text() const;
    std::string file_name() const;
    std::int64_t total_size() const;
    std::int64_t downloaded() const;
    bool is_complete() const;
    struct Counts {
        std::int64_t downloaded;
        std::int64_t total_size;
    };
    Counts counts() const;
    void set_status(std::string_view text);

    // Writes a received block at its offset in the open local file and merges it into the ranges.
    // Refused (nothing written, ranges unchanged) when the block ends beyond a known total size,
    // has a negative start or length, passes kMaxFileSize, when no file is open, or when the write
    // fails: a range is only recorded for bytes that are in the file. `added` (may be null)
    // receives the bytes that no range held before; `write_error` (may be null) the errno value
    // of a failed write, else 0.
    bool store_chunk(std::int64_t start, std::int64_t length, const void* bytes,
                     std::int64_t* added = nullptr, int* write_error = nullptr);

    ItemSnapshot snapshot() const;

    // Kilobytes per second since the last measurement; `now` is a tick count.
    void update_speed(Tick now);

    void add_downloaded(std::int64_t bytes);

    // Waits up to `ms` milliseconds while the item is Running; true when it stopped meanwhile.
    // The wait ends at once when notify_stop() is called.
    bool wait_while_running(std::uint32_t ms);
    void notify_stop();

    // Lets go of the item's open local file. When this was its last holder, the file is flushed
    // as it closes: outside the item's lock, so painting and saving never wait on the disk.
    void release_file();

    // Views of the run (TransferRun decides, the worker writes them) for the controller, the
    // rows and the Montage: the run ended with the file whole, or the item is being cancelled;
    // failed attempts since the last progress; a body is being read, since `last_receive_tick`
    // (set when the body begins, so the wait for its first byte is timed too).
    std::atomic<bool> completed{false};
    std::atomic<std::int32_t> retry_count{0};
    std::atomic<float> speed{0.0f};
    std::atomic<Tick> last_receive_tick{0};
    std::atomic<bool> receiving{false};
    std::atomic<bool> auto_stopped{false};
    std::atomic<bool> auto_started{false};
    std::atomic<std::int64_t> reader_position{0};
    std::atomic<bool> montage_abort{false};
    std::atomic<ItemState> state{ItemState::Stopped};

    // Set by the Montage while it holds the item; used by the span fetch on the same thread.
    ProgressHook progress_hook;
    RangeHook range_hook;

    // Set by the controller while a worker thread exists for the item, from before the thread
    // starts until after it ended: an item never gets a second worker.
    std::atomic<bool> worker_active{false};
    // The Montage's "restart on close": the item was started while the Montage held it.
    std::atomic<bool> restart_on_close{false};
    // What the current run works with; set before its worker starts.
    struct TransferEnv* env = nullptr;

    Connection connection;

  private:
    mutable std::mutex mutex_;
    std::condition_variable stop_signal_;
    ItemData data_;
};

// A byte count with its unit: "%u B", "%u KB" or "%.1f MB".
std::string format_size(std::int64_t bytes);

// "%s/%s (%.2f%%)": downloaded and total size with their units, and the percentage.
std::string format_progress(std::int64_t downloaded, std::int64_t total_size);
std::string format_progress(const DownloadItem& item);

// The part of a path after its last '/', empty when there is none.
std::string_view file_name_of(std::string_view path);

}  // namespace rg
