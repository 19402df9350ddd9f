#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/download_item.h"
#include "engine/messages.h"
#include "engine/transfer_run.h"
#include "platform/host.h"
#include "settings/settings.h"
#include "settings/site_passwords.h"

namespace rg {

class HttpSession;

// How a worker reaches the controller thread: 2776 and 2778 are posted without waiting; 2779 waits
// for the answer (true: the user entered credentials into the item).
class WorkerLink {
  public:
    virtual ~WorkerLink() = default;
    virtual void post(MessageId id, DownloadItem* item) = 0;
    virtual bool ask_credentials(DownloadItem& item) = 0;
};

// What a run works with. Shared by every run; each member is safe to use from worker threads.
struct TransferEnv {
    SettingsStore* settings = nullptr;
    const SitePasswordList* passwords = nullptr;
    HttpSession* session = nullptr;
    Host* host = nullptr;
    WorkerLink* link = nullptr;
    std::function<Tick()> now = tick_count;
};

// Largest block read at once: big reads are what make a fast transfer; a block never holds more
// than one read's bytes.
inline constexpr std::int32_t kTransferBlockSize = 256 * 1024;

// The thread procedure of one run: spans of the first missing bytes until the file is whole, the
// run is stopped, or it gives up (TransferRun decides).
int worker_main(DownloadItem& item, TransferEnv& env);

// The first span of the file that is still missing: from 0 when the first range does not start
// there, else from the end of the first range to the next range, or to the end (length 0).
// nullopt when the ranges already cover the whole known size.
struct SpanPlan {
    std::int64_t start = 0;
    std::int64_t length = 0;
};
std::optional<SpanPlan> plan_first_missing_span(const RangeList& ranges, std::int64_t total_size);

// Fetches [start, start + length) (length 0: to the end) into the item's file and ranges, and
// says how it ended. It never waits to retry and never stops the run: that is the caller's.
SpanOutcome fetch_span(DownloadItem& item, std::int64_t start, std::int64_t length,
                       TransferEnv& env);
// The same for the Montage: the bytes received by this call.
std::int64_t span_fetch(DownloadItem& item, std::int64_t start, std::int64_t length,
                        TransferEnv& env);

// Drops what the ranges claim beyond the end of the local file (size from LocalFile::size, -1
// when unknown: nothing changes): those bytes are not there, e.g. after the file was deleted.
void match_ranges_to_file(ItemData& data, std::int64_t file_size);

// Ends whatever transfer runs for the item. Safe from any thread: a read waiting in the worker
// returns at once.
void stop_item(DownloadItem& item, TransferEnv& env);

// The stage reporter registered on every Connection.
void status_callback(const void* handle, DownloadItem* item, std::uint32_t code,
                     const void* information, std::size_t information_length);

void follow_redirect(DownloadItem& item, std::string_view new_url, TransferEnv& env);
void apply_server_name(DownloadItem& item, std::string_view name, TransferEnv& env);

// The user's "Change Local Filename" command for a stopped item.
enum class RenameResult { Renamed, NotPaused, Cancelled, Failed };
RenameResult change_local_filename(DownloadItem& item, Host& host);

}  // namespace rg
