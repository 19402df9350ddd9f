#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "engine/download_list.h"
#include "engine/montage_link.h"
#include "engine/transfer_worker.h"
#include "montage/media_file.h"
#include "montage/montage_outcome.h"
#include "montage/montage_view.h"
#include "montage/montage_work.h"
#include "montage/remote_media_reader.h"

namespace rg {

// The media library behind the session: the download's file as the demuxer sees it, and the
// video opened over it. The program uses remote_media_backend(); tests put in fakes.
struct MediaBackend {
    std::function<std::unique_ptr<VirtualFile>(DownloadItem&, SpanFetcher, ReaderSettings)>
        open_reader;
    std::function<std::unique_ptr<MediaFile>(VirtualFile&, const MediaOpenOptions&,
                                             MediaOpenResult&)>
        open_media;
};

struct RangeTestAnswer {
    bool accepted = false;
    std::int64_t stored = 0;  // bytes written to the item's file
};

// The requests the open makes of the item's server. Empty members use the transfer operations
// over the session's TransferEnv (probe_http, open_span, span_fetch).
struct SessionNetwork {
    // HEAD probe of the item's URL with its credentials: 1 on success, the size in the item's
    // connection (content_length, or range_total of a partial answer); `named` is set when the
    // server named the file (connection.server_file_name()).
    std::function<int(DownloadItem&, bool& named)> probe;
    // A 1-byte request at offset 0: accepted when the server answered, range support reported in
    // the connection (take_resumable()). The byte of a partial answer is kept in the item's file
    // and ranges, where it counts for the download.
    std::function<RangeTestAnswer(DownloadItem&)> test_random_access;
    // span_fetch: the bytes received into the item's file and ranges.
    std::function<std::int64_t(DownloadItem&, std::int64_t start, std::int64_t length)> fetch_span;
};

// The requests over the transfer operations with the item's stored credentials: probe_http, a
// 1-byte open_span, span_fetch. `env` must outlive the result.
SessionNetwork session_network(TransferEnv& env);

// The one remote video open in the Montage. Open takes a download out of the queue (holding it
// Montage-held), learns its size and range support, opens the video through the remote media
// reader on a worker thread and lists its header; frames are then fetched by number or time,
// or by the AutoMontage, each on a worker thread; Close releases the video and gives the
// download back, restarting it (message 2777) when it was running.
//
// Threads: open(), close(), start_get_frame(), cancel(), toggle_entry_mode() and the MontageLink
// calls belong to the controller thread. At most one worker thread runs at a time; it writes to
// the MontageView directly (see MontageView: the GUI marshals). The worker may post to the
// controller and, on a 401 without credentials, wait for its answer, so the controller thread
// must not block on the session except through wait_idle() with a timeout while it keeps
// serving its queue.
class MediaSession final : public MontageLink {
  public:
    struct Hooks {
        SessionNetwork network;
        // Serves the controller's queue for up to the given time (Controller::process_messages).
        // Open calls it while it waits for the worker of a download it stopped to end: the
        // controller clears worker_active when that worker's end reaches it.
        std::function<void(std::chrono::milliseconds)> serve_messages;
        // Closes the Edit Download Data (Advanced) dialog that holds an Info-held download.
        std::function<void(DownloadItem&)> release_info_hold;
        // Answers the question whether to open a file that does not end in ".avi"; empty: the
        // host's message box asks it.
        std::function<bool()> accept_other_format;
    };

    // `env` is the controller's TransferEnv: settings, host (message boxes), link (2777).
    MediaSession(MontageView& view, TransferEnv& env, MediaBackend backend, Hooks hooks);
    MediaSession(MontageView& view, TransferEnv& env, MediaBackend backend)
        : MediaSession(view, env, std::move(backend), Hooks{}) {}
    // Closes the media, waiting for a running worker to end.
    ~MediaSession() override;
    MediaSession(const MediaSession&) = delete;
    MediaSession& operator=(const MediaSession&) = delete;

    // The Montage and Auto Montage commands on the list's caret item; nothing happens without a
    // caret item or a selection. Every outcome is shown to the user.
    void open(const DownloadList::ItemPtr& caret_item, std::int32_t selected_count,
              bool auto_montage);
    // Closes at once, or asks a running worker to close when it ends.
    void close();

    // Get Frame with the frame entry's text: a 1-based frame number, or in time mode a time
    // ("h:m:s", "m:s" or "s"). Refused with a status text while a worker runs.
    void start_get_frame(std::string_view entry_text);
    // Ends the running fetch ("Error Downloading Frame") and the AutoMontage after it.
    void cancel();
    // The Get Frame button: cancel() in cancel mode, else start_get_frame().
    void press_get_frame(std::string_view entry_text);
    // The mode button: frame numbers <-> times. Starts in frame mode and survives sessions.
    void toggle_entry_mode();
    bool frame_entry_mode() const { return frame_mode_; }

    // Waits up to `timeout` until no worker runs; true when none does. Any thread.
    bool wait_idle(std::chrono::milliseconds timeout);
    bool is_open() const;
    bool busy() const;
    bool cancel_mode() const { return work_.cancel_mode.load(); }
    // How the last open ended: None once the media opened. Read it when no worker runs.
    MontageOutcome open_outcome() const;
    // The last frame that failed since the last open; None when none did.
    MontageOutcome frame_failure() const { return work_.last_frame_failure(); }
    // The open video's header; nullopt when no media is open or a worker runs.
    std::optional<MediaHeader> media_header() const;

    // MontageLink.
    DownloadItem* current_item() const override;
    bool worker_running() const override { return busy(); }
    void close_media() override { close(); }

  private:
    Settings current_settings() const;
    // Starts `body` as the worker; false (and not busy) when no thread could be made.
    bool start_worker(std::function<void()> body);
    // The worker's last step: a requested close is done, then the session is idle.
    void end_worker();
    void open_thread();
    bool open_media(DownloadItem& item);
    bool learn_size(DownloadItem& item);
    bool accept_other_format();
    // The open failed: the item's status text says why, the outcome records it.
    bool fail_open(DownloadItem& item, MontageFailure failure, std::string_view text);
    void set_open_outcome(MontageFailure failure, std::string_view text);
    void get_frame_thread(std::int64_t index);
    void install_hooks(DownloadItem& item);
    void wait_for_worker_end(DownloadItem& item);
    void restart(DownloadItem& item);
    // Close's first steps: "Closing Media...", both buttons disabled, the running fetch ended.
    // False when no media is open.
    bool begin_close();
    // Releases the video and gives the item back; no worker may be using them.
    void close_now();

    MontageView& view_;
    TransferEnv& env_;
    MediaBackend backend_;
    Hooks hooks_;
    MontageWork work_;

    mutable std::mutex mutex_;
    std::condition_variable idle_signal_;
    bool media_open_ = false;
    bool busy_ = false;
    MontageOutcome open_outcome_;
    DownloadList::ItemPtr item_;  // the held item; keeps it alive if the list drops it

    // Worker's while it runs, otherwise the controller thread's.
    std::unique_ptr<VirtualFile> reader_;
    std::unique_ptr<MediaFile> media_;
    bool auto_montage_ = false;
    bool any_format_ = false;

    // Controller thread.
    std::thread worker_;
    bool frame_mode_ = true;
};

}  // namespace rg
