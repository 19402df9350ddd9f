#include "engine/controller.h"

#include "engine/credentials.h"
#include "engine/status_texts.h"
#include "protocols/transfer_ops.h"

namespace rg {

Controller::Controller(Parts parts)
    : parts_(std::move(parts)), info_window_(parts_.host, [this] { notify_state_changed(); }) {
    env_.settings = parts_.settings;
    env_.passwords = parts_.passwords;
    env_.session = parts_.session;
    env_.host = parts_.host;
    env_.link = this;
    env_.now = parts_.now;
    // In id order; timer 4 runs only while automatic downloading is on.
    timers_ = {{TimerId::Repaint, kRepaintPeriodMs, 0, true},
               {TimerId::SaveList, kSaveListPeriodMs, 0, true},
               {TimerId::AutoDownload, kAutoDownloadPeriodMs, 0, false},
               {TimerId::Schedule, kSchedulePeriodMs, 0, true},
               {TimerId::ReceiveTimeout, kReceiveTimeoutPeriodMs, 0, true}};
}

Controller::~Controller() {
    stop_all();
}

void Controller::push(Message message) {
    {
        std::lock_guard guard(queue_mutex_);
        queue_.push_back(message);
    }
    queue_signal_.notify_all();
    if (on_message_queued)
        on_message_queued();
}

void Controller::post(MessageId id, DownloadItem* item) {
    push({Message::Kind::Post, id, item, nullptr});
}

bool Controller::ask_credentials(DownloadItem& item) {
    std::promise<bool> answer;
    std::future<bool> result = answer.get_future();
    {
        std::lock_guard guard(queue_mutex_);
        if (closing_)
            return false;
        queue_.push_back(
            {Message::Kind::Credentials, MessageId::CredentialsWanted, &item, &answer});
    }
    queue_signal_.notify_all();
    if (on_message_queued)
        on_message_queued();
    return result.get();
}

std::size_t Controller::process_messages(std::chrono::milliseconds max_wait) {
    std::deque<Message> batch;
    {
        std::unique_lock guard(queue_mutex_);
        if (queue_.empty() && max_wait.count() > 0) {
            queue_signal_.wait_for(guard, max_wait, [&] { return !queue_.empty(); });
        }
        batch.swap(queue_);
    }
    for (const Message& m : batch)
        handle(m);
    return batch.size();
}

void Controller::handle(const Message& message) {
    switch (message.kind) {
        case Message::Kind::Credentials: {
            bool closing = false;
            {
                std::lock_guard guard(queue_mutex_);
                closing = closing_;
            }
            message.answer->set_value(!closing && serve_credentials(*message.item));
            return;
        }
        case Message::Kind::WorkerExited:
            handle_worker_exited(message.item);
            return;
        case Message::Kind::Post:
            break;
    }
    switch (message.id) {
        case MessageId::RunEnded:
            finish_download(message.item, cancelled_.count(message.item) > 0,
                            delete_after_exit_.count(message.item) > 0);
            return;
        case MessageId::MontageRestart:
            if (message.item != nullptr && parts_.list->index_of(message.item) >= 0 &&
                !is_closing()) {
                start_download(*message.item, false);
            }
            return;
        case MessageId::Refresh:
            // A worker has just begun or stopped: one that began after its item was cancelled is
            // stopped now.
            stop_cancelled_runs();
            notify_state_changed();
            return;
        case MessageId::CredentialsWanted:
            notify_state_changed();
            return;
    }
}

void Controller::handle_worker_exited(DownloadItem* item) {
    DownloadList::ItemPtr keep;
    if (auto it = workers_.find(item); it != workers_.end())
        keep = it->second.item;
    join_worker(item);
    item->worker_active = false;
    if (auto it = cancelled_.find(item); it != cancelled_.end()) {
        if (!keep)
            keep = it->second;
        cancelled_.erase(it);
        // A run that ended without its 2776 (its file could not be opened) still leaves the list.
        if (parts_.list->index_of(item) >= 0)
            finish_download(item, true, delete_after_exit_.count(item) > 0);
    }
    if (delete_after_exit_.erase(item) > 0)
        delete_local_file(item->local_path());
    if (on_worker_exited)
        on_worker_exited(*item);
    notify_state_changed();
}

bool Controller::serve_credentials(DownloadItem& item) {
    if (parts_.host == nullptr)
        return false;
    const auto answer = parts_.host->ask_credentials(item.url());
    if (!answer)
        return false;
    DownloadItem* targets[] = {&item};
    if (parts_.passwords != nullptr) {
        apply_credentials(answer->user_name, answer->password, answer->remember, targets,
                          *parts_.passwords);
    }
    return true;
}

void Controller::join_worker(DownloadItem* item) {
    auto it = workers_.find(item);
    if (it == workers_.end())
        return;
    if (it->second.thread.joinable())
        it->second.thread.join();
    workers_.erase(it);
}

void Controller::notify_state_changed() {
    if (parts_.host != nullptr)
        parts_.host->list_changed();
    if (on_state_changed)
        on_state_changed();
}

void Controller::run_due_timers(Tick now) {
    if (exiting_)
        return;
    if (!timers_started_) {
        for (Timer& t : timers_)
            t.due = now + t.period;
        timers_started_ = true;
        return;
    }
    // By index: a timer's work may switch timer 4 on or off.
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        Timer& t = timers_[i];
        // Unsigned difference: the tick count may wrap.
        if (!t.active || static_cast<std::int32_t>(now - t.due) < 0)
            continue;
        t.due = now + t.period;
        on_timer(t.id);
        if (exiting_)
            return;
    }
}

void Controller::on_timer(TimerId id) {
    switch (id) {
        case TimerId::Repaint:
            if (parts_.host != nullptr)
                parts_.host->list_changed();
            return;
        case TimerId::SaveList:
            save_list();
            return;
        case TimerId::ReceiveTimeout:
            receive_timeout_check();
            return;
        case TimerId::AutoDownload:
            if (auto_download_)
                auto_download_tick();
            return;
        case TimerId::Schedule:
            schedule_check(parts_.clock_time ? parts_.clock_time() : local_clock_time());
            return;
    }
}

void Controller::receive_timeout_check() {
    const Tick now = env_.now();
    const auto limit = static_cast<Tick>(parts_.settings->snapshot().RecieveTimeOut);
    for (const auto& item : *parts_.list) {
        const Tick last = item->last_receive_tick.load();
        const ItemState state = item->state.load();
        if (last == 0 || !item->receiving.load())
            continue;
        if (state != ItemState::Running && state != ItemState::MontageHeld)
            continue;
        if (now - last < limit)
            continue;
        if (state == ItemState::MontageHeld) {
            // The Montage owns the item's state: end its stalled fetch; the frame then fails.
            item->montage_abort = true;
            interrupt_connection(item->connection);
        } else {
            stop_item(*item, env_);
            item->set_status(kReceiveTimeOutText);
        }
    }
}

bool Controller::save_list() {
    if (parts_.list_file == nullptr)
        return true;
    return parts_.list_file->save(*parts_.list);
}

bool Controller::is_closing() const {
    std::lock_guard guard(queue_mutex_);
    return closing_;
}

void Controller::stop_all() {
    {
        std::lock_guard guard(queue_mutex_);
        closing_ = true;
    }
    // Workers may be waiting for an answer to 2779: serve the queue while they end. A worker that
    // was created but had not yet set Running is stopped on a later turn.
    while (!workers_.empty()) {
        for (auto& [item, worker] : workers_) {
            if (item->state.load() == ItemState::Running)
                stop_item(*item, env_);
        }
        process_messages(std::chrono::milliseconds(50));
    }
    process_messages();
}

std::size_t Controller::running_workers() const {
    return workers_.size();
}

InfoWindow::OpenResult Controller::open_info_window(std::int32_t caret_row) {
    return info_window_.open(*parts_.list, caret_row);
}

bool Controller::exit_prompt() {
    if (exiting_)
        return true;
    const Settings settings = parts_.settings != nullptr ? parts_.settings->snapshot() : Settings{};
    if (!exit_confirmed(parts_.host, settings))
        return false;
    exit_now();
    return true;
}

void Controller::exit_now() {
    if (exiting_)
        return;
    exiting_ = true;
    for (Timer& t : timers_)
        t.active = false;
    stop_all();
    save_list();
    if (on_exit)
        on_exit();
}

}  // namespace rg
