#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/download_list.h"
#include "engine/info_window.h"
#include "engine/list_file.h"
#include "engine/montage_link.h"
#include "engine/schedule.h"
#include "engine/transfer_worker.h"
#include "platform/power_actions.h"

namespace rg {

// The one thread that owns the download list. Workers reach it only through its queue: 2776 and
// 2778 are posted without waiting, 2779 waits for the answer, and the controller never waits for
// a worker while it serves 2779. The GUI runs it on Qt's main thread, the command-line tool in a
// small loop, tests by hand with a fake clock.
//
// Rows: every command that acts on "the selected rows" takes them as a vector of row indexes of
// the DownloadList (the list view's rows). Any order is accepted, duplicates and indexes outside
// the list are ignored; Pause visits them from the first row, Cancel from
// the last. A row's item is resolved before any question is asked,
// so rows that leave the list while a question is open never shift the others.
class Controller : public WorkerLink {
  public:
    struct Parts {
        DownloadList* list = nullptr;
        ListFile* list_file = nullptr;  // may be null: nothing is saved
        SettingsStore* settings = nullptr;
        SitePasswordList* passwords = nullptr;
        HttpSession* session = nullptr;
        Host* host = nullptr;
        std::function<Tick()> now = tick_count;
        // Null: there is no Montage.
        MontageLink* montage = nullptr;
        // Null: the shutdown, restart and log-off actions do nothing.
        PowerActions* power = nullptr;
        // The wall clock of the schedule (timer 5).
        std::function<ClockTime()> clock_time = local_clock_time;
    };

    explicit Controller(Parts parts);
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // WorkerLink, called on worker threads.
    void post(MessageId id, DownloadItem* item) override;
    bool ask_credentials(DownloadItem& item) override;

    // Everything below runs on the controller thread.

    // --- Queue and schedule ---

    // Starts a run of the item; `automatic` when automatic downloading starts it. Running, or a
    // worker that exists but has not ended: nothing. Montage-held: only restart_on_close is set
    // (the Montage posts 2777 when it lets go). Info-held: the info window is closed first (its
    // URL is kept). Thread failure: "Error creating new thread. System Error".
    void start_download(DownloadItem& item, bool automatic);

    // Automatic downloading on or off; off forgets which items failed under it (auto_stopped).
    // While on, timer 4 runs auto_download_tick every 1.5 s, the first time 1.5 s after this.
    void set_auto_download(bool on);
    void toggle_auto_download();
    bool auto_download() const { return auto_download_; }

    // Timer 4: with no scheduled item, the when-done action; else, below "ConcurrentDownloads"
    // running items (Running, Montage-held, or with a worker thread that has not ended), starts the
    // first Stopped, scheduled, not auto_stopped item. At most one start per tick.
    void auto_download_tick();

    // Timer 5 with the wall-clock time: fires the armed one-shot start and stop times whose hour
    // and minute equal `now` (start first; the stop also runs the when-done action).
    void schedule_check(ClockTime now);

    const Schedule& schedule() const { return schedule_; }
    // The Scheduling dialog: its opening values, and "OK" (Cancel calls nothing).
    SchedulingDialogValues scheduling_dialog_values() const;
    void apply_scheduling_dialog(const SchedulingDialogValues& values);

    // Carries out the action at index schedule().when_done: 1 the exit prompt, 2-6 a PowerActions
    // request, 0 and 7 nothing. An action still asking its question is not started again.
    void run_when_done();

    // --- Pause, cancel and completion ---

    // Pauses every selected row, from the first.
    void pause_selected(const std::vector<std::int32_t>& selected_rows);
    // Pauses a Running or Montage-held item: a non-resumable one only after "Download is
    // non-resumable. Are you sure you want to Pause?"; the Montage's item only when no Montage
    // worker runs ("Montage Window is busy, Close it first and then Pause!"). Status "User
    // Paused"; auto_started is cleared so that automatic downloading may start it again.
    void pause_item(std::int32_t row);

    // With "CancelPrompt" on asks once ("You are about to Cancel Selected Download(s)..."): Yes
    // deletes the local files, No keeps them, Cancel does nothing. With "CancelPrompt" off nothing
    // is asked and the local files are kept. Then cancels the selected rows from the last.
    void cancel_selected(const std::vector<std::int32_t>& selected_rows);
    // Cancels one row: a Stopped (or Info-held, or released Montage-held) item leaves the list at
    // once through the finished-download handling; a Running one is stopped with `completed` set
    // and leaves when its worker's 2776 arrives. With `delete_file` the local file is deleted;
    // while a worker thread of the item exists, only after that worker has ended, so a worker never
    // writes into a deleted or recreated file. A file that another download of the list uses is
    // never deleted, and a file to be deleted is not opened. An exception ends this item's cancel
    // only.
    void cancel_item(std::int32_t row, bool delete_file);

    // --- Information window and exit ---

    InfoWindow& info_window() { return info_window_; }
    // Command 40034 for the caret row.
    InfoWindow::OpenResult open_info_window(std::int32_t caret_row);

    // Commands 40022/40063 and "Close Reelgrab": the exit prompt, then exit_now(). True when
    // exiting.
    bool exit_prompt();
    // Stops every run (waiting for the workers), saves the list, stops the timers and calls
    // on_exit. Only the first call does anything.
    void exit_now();
    bool exiting() const { return exiting_; }

    // --- Messages and timers ---

    // Serves the queued messages; waits up to `max_wait` for the first one. The number served.
    std::size_t process_messages(std::chrono::milliseconds max_wait = std::chrono::milliseconds(0));

    // Runs the timers that are due at `now` (the first call only arms them). Nothing after exit.
    void run_due_timers(Tick now);
    void on_timer(TimerId id);
    void receive_timeout_check();
    bool save_list();

    // Stops every run and waits for the workers to end (each ends promptly once stopped).
    void stop_all();

    std::size_t running_workers() const;
    TransferEnv& env() { return env_; }
    DownloadList& list() { return *parts_.list; }

    // Called for every item whose run ended complete, before it leaves the list (the CLI reports
    // it). Not called for cancelled items.
    std::function<void(const DownloadItem&)> on_completed;
    // Called when a worker thread has ended, with the item (which may have left the list).
    std::function<void(const DownloadItem&)> on_worker_exited;
    // The command state refresh: the selection-dependent command states, the Auto
    // button and the tray check may have changed. Runs after Host::list_changed wherever the
    // commands change what the refresh shows (2776, 2778, start, pause, cancel, automatic
    // downloading on or off, the info window opening or closing), but not on the 700 ms repaint.
    std::function<void()> on_state_changed;
    // Called once by exit_now, after the list was saved: the program's loop ends.
    std::function<void()> on_exit;
    // Called on the posting thread (any thread) after a message was queued, so that an event
    // loop can run process_messages without polling. Set before the first worker starts.
    std::function<void()> on_message_queued;

  private:
    struct Message {
        enum class Kind { Post, Credentials, WorkerExited } kind;
        MessageId id{};
        DownloadItem* item = nullptr;
        std::promise<bool>* answer = nullptr;
    };

    void push(Message message);
    // stop_all has begun: no run is started any more.
    bool is_closing() const;
    void handle(const Message& message);
    void handle_worker_exited(DownloadItem* item);
    // The handling of 2776. `cancelled`: the item was cancelled (no on_completed);
    // `deleting`: its file is about to be deleted (not opened).
    void finish_download(DownloadItem* item, bool cancelled, bool deleting);
    bool serve_credentials(DownloadItem& item);
    void join_worker(DownloadItem* item);
    void notify_state_changed();
    bool counts_as_running(const DownloadItem& item) const;
    void cancel_one(const DownloadList::ItemPtr& item, bool delete_file);
    void pause_one(const DownloadList::ItemPtr& item);
    // Stops cancelled items whose worker began after the cancel.
    void stop_cancelled_runs();
    void delete_local_file(const std::string& path);
    std::vector<DownloadList::ItemPtr> items_of_rows(const std::vector<std::int32_t>& rows) const;

    Parts parts_;
    TransferEnv env_;
    InfoWindow info_window_;

    mutable std::mutex queue_mutex_;
    std::condition_variable queue_signal_;
    std::deque<Message> queue_;
    bool closing_ = false;

    // Worker threads by item, with the reference that keeps a removed item alive until its
    // worker is joined.
    struct Worker {
        std::thread thread;
        DownloadList::ItemPtr item;
    };
    std::map<DownloadItem*, Worker> workers_;

    // Items cancelled while a worker thread of theirs existed, until that worker has ended, and the
    // files to delete then.
    std::map<DownloadItem*, DownloadList::ItemPtr> cancelled_;
    std::set<DownloadItem*> delete_after_exit_;

    struct Timer {
        TimerId id;
        std::uint32_t period;
        Tick due;
        bool active;
    };
    std::vector<Timer> timers_;
    bool timers_started_ = false;

    bool auto_download_ = false;
    Schedule schedule_;
    bool in_when_done_ = false;
    bool exiting_ = false;
};

}  // namespace rg
