#include "engine/controller.h"

#include "engine/credentials.h"
#include "engine/status_texts.h"

namespace rg {

Controller::Controller(Parts parts) : parts_(std::move(parts)) {
    env_.settings = parts_.settings;
    env_.passwords = parts_.passwords;
    env_.session = parts_.session;
    env_.host = parts_.host;
    env_.link = this;
    env_.now = parts_.now;
    timers_ = {{TimerId::Repaint, kRepaintPeriodMs, 0},
               {TimerId::SaveList, kSaveListPeriodMs, 0},
               {TimerId::ReceiveTimeout, kReceiveTimeoutPeriodMs, 0}};
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
    return result.get();
}

void Controller::start_download(DownloadItem& item, bool automatic) {
    const ItemState state = item.state.load();
    if (state == ItemState::Running || item.worker_active.load())
        return;
    if (state == ItemState::MontageHeld) {
        item.restart_on_close = true;
        return;
    }
    // An Info-held item is released by its dialog before it is started (the dialog comes later).
    item.lock()->file.reset();
    item.auto_started = automatic;
    item.completed = false;

    const std::int32_t index = parts_.list->index_of(&item);
    DownloadList::ItemPtr keep = index >= 0 ? parts_.list->shared_at(index) : nullptr;
    join_worker(&item);
    item.worker_active = true;
    try {
        std::thread thread([this, &item] {
            worker_main(item, env_);
            push({Message::Kind::WorkerExited, MessageId::Refresh, &item, nullptr});
        });
        workers_[&item] = Worker{std::move(thread), std::move(keep)};
    } catch (const std::system_error&) {
        item.worker_active = false;
        if (parts_.host != nullptr) {
            parts_.host->message_box(kThreadFailedText, kSystemErrorCaption, MessageButtons::Ok,
                                     MessageIcon::Error);
        }
    }
    if (parts_.host != nullptr)
        parts_.host->list_changed();
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
        case Message::Kind::WorkerExited: {
            DownloadItem* item = message.item;
            DownloadList::ItemPtr keep;
            if (auto it = workers_.find(item); it != workers_.end())
                keep = it->second.item;
            join_worker(item);
            item->worker_active = false;
            if (on_worker_exited)
                on_worker_exited(*item);
            if (parts_.host != nullptr)
                parts_.host->list_changed();
            return;
        }
        case Message::Kind::Post:
            break;
    }
    switch (message.id) {
        case MessageId::RunEnded:
            handle_run_ended(message.item);
            return;
        case MessageId::MontageRestart:
            if (message.item != nullptr && parts_.list->index_of(message.item) >= 0) {
                start_download(*message.item, false);
            }
            return;
        case MessageId::Refresh:
        case MessageId::CredentialsWanted:
            if (parts_.host != nullptr)
                parts_.host->list_changed();
            return;
    }
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

void Controller::handle_run_ended(DownloadItem* item) {
    const std::int32_t index = parts_.list->index_of(item);
    if (index < 0)
        return;
    const bool open_it =
        item->is_complete() || (item->lock()->saved.total_size <= 0 && item->completed.load());
    if (item->lock()->saved.open_when_done != 0 && open_it && parts_.host != nullptr) {
        parts_.host->open_file(item->local_path());
    }
    if (on_completed)
        on_completed(*item);
    parts_.list->remove_item(index);
    save_list();
    if (parts_.host != nullptr)
        parts_.host->list_changed();
}

void Controller::join_worker(DownloadItem* item) {
    auto it = workers_.find(item);
    if (it == workers_.end())
        return;
    if (it->second.thread.joinable())
        it->second.thread.join();
    workers_.erase(it);
}

void Controller::run_due_timers(Tick now) {
    if (!timers_started_) {
        for (Timer& t : timers_)
            t.due = now + t.period;
        timers_started_ = true;
        return;
    }
    for (Timer& t : timers_) {
        // Unsigned difference: the tick count may wrap.
        if (static_cast<std::int32_t>(now - t.due) >= 0) {
            t.due = now + t.period;
            on_timer(t.id);
        }
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
        case TimerId::Schedule:
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
        if (now - last >= limit) {
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

void Controller::stop_all() {
    for (auto& [item, worker] : workers_) {
        if (item->state.load() == ItemState::Running)
            stop_item(*item, env_);
    }
    // Workers may be waiting for an answer to 2779: serve the queue while they end.
    {
        std::lock_guard guard(queue_mutex_);
        closing_ = true;
    }
    while (!workers_.empty()) {
        process_messages(std::chrono::milliseconds(50));
    }
    process_messages();
}

std::size_t Controller::running_workers() const {
    return workers_.size();
}

}  // namespace rg
