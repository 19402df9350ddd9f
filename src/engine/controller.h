#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/download_list.h"
#include "engine/list_file.h"
#include "engine/transfer_worker.h"

namespace rg {

// The one thread that owns the download list. Workers reach it only through its queue: 2776 and
// 2778 are posted without waiting, 2779 waits for the answer, and the controller never waits for
// a worker while it serves 2779. The GUI runs it on Qt's main thread, the command-line tool in a
// small loop, tests by hand with a fake clock.
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
    };

    explicit Controller(Parts parts);
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // WorkerLink, called on worker threads.
    void post(MessageId id, DownloadItem* item) override;
    bool ask_credentials(DownloadItem& item) override;

    // Everything below runs on the controller thread.

    // Starts a run of the item; `automatic` when automatic downloading starts it.
    void start_download(DownloadItem& item, bool automatic);

    // Serves the queued messages; waits up to `max_wait` for the first one. The number served.
    std::size_t process_messages(std::chrono::milliseconds max_wait = std::chrono::milliseconds(0));

    // Runs the timers that are due at `now`.
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
    // it).
    std::function<void(const DownloadItem&)> on_completed;
    // Called when a worker thread has ended, with the item (which may have left the list).
    std::function<void(const DownloadItem&)> on_worker_exited;

  private:
    struct Message {
        enum class Kind { Post, Credentials, WorkerExited } kind;
        MessageId id{};
        DownloadItem* item = nullptr;
        std::promise<bool>* answer = nullptr;
    };

    void push(Message message);
    void handle(const Message& message);
    void handle_run_ended(DownloadItem* item);
    bool serve_credentials(DownloadItem& item);
    void join_worker(DownloadItem* item);

    Parts parts_;
    TransferEnv env_;

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

    struct Timer {
        TimerId id;
        std::uint32_t period;
        Tick due;
    };
    std::vector<Timer> timers_;
    bool timers_started_ = false;
};

}  // namespace rg
