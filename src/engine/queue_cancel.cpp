// Pause, cancel and completion, and the finished-download handling of message 2776.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/controller.h"
#include "engine/status_texts.h"

namespace rg {

std::vector<DownloadList::ItemPtr> Controller::items_of_rows(
    const std::vector<std::int32_t>& rows) const {
    std::vector<std::int32_t> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<DownloadList::ItemPtr> items;
    for (const std::int32_t row : sorted) {
        if (auto item = parts_.list->shared_at(row))
            items.push_back(std::move(item));
    }
    return items;
}

// --- Pause ---

void Controller::pause_selected(const std::vector<std::int32_t>& selected_rows) {
    for (const auto& item : items_of_rows(selected_rows)) {
        if (parts_.list->index_of(item.get()) >= 0)
            pause_one(item);
    }
}

void Controller::pause_item(std::int32_t row) {
    if (row < 0)
        return;
    if (auto item = parts_.list->shared_at(row))
        pause_one(item);
}

void Controller::pause_one(const DownloadList::ItemPtr& item) {
    const auto pausable = [&] {
        const ItemState state = item->state.load();
        return state == ItemState::Running || state == ItemState::MontageHeld;
    };
    if (!pausable())
        return;
    if (item->lock()->saved.resumable == 0) {
        if (parts_.host == nullptr ||
            parts_.host->message_box(kNonResumablePauseQuestion, kPauseCaption,
                                     MessageButtons::YesNo,
                                     MessageIcon::Warning) != MessageAnswer::Yes) {
            return;
        }
        // The run may have ended, or the item left the list, while the question was open.
        if (!pausable() || parts_.list->index_of(item.get()) < 0)
            return;
    }
    if (parts_.montage != nullptr && parts_.montage->current_item() == item.get()) {
        if (parts_.montage->worker_running()) {
            if (parts_.host != nullptr) {
                parts_.host->message_box(kMontageBusyText, kPauseCaption, MessageButtons::Ok,
                                         MessageIcon::Information);
            }
            return;
        }
        item->restart_on_close = false;
        parts_.montage->close_media();
    }
    // Not marked auto_stopped by the stop: automatic downloading may start it again.
    item->auto_started = false;
    stop_item(*item, env_);
    item->set_status(kUserPausedText);
    notify_state_changed();
}

// --- Cancel ---

void Controller::cancel_selected(const std::vector<std::int32_t>& selected_rows) {
    if (parts_.list->empty())
        return;
    const std::vector<DownloadList::ItemPtr> items = items_of_rows(selected_rows);
    if (items.empty())
        return;
    // With the prompt off nothing is asked and the local files are kept.
    bool delete_files = false;
    const std::int32_t prompt =
        parts_.settings != nullptr ? parts_.settings->snapshot().CancelPrompt : 1;
    if (prompt == 1) {
        if (parts_.host == nullptr)
            return;
        const MessageAnswer answer = parts_.host->message_box(
            kCancelQuestion, kCancelCaption, MessageButtons::YesNoCancel, MessageIcon::Warning);
        if (answer == MessageAnswer::Yes)
            delete_files = true;
        else if (answer != MessageAnswer::No)
            return;
    }
    // From the last row to the first. The items were resolved before the question, so a row that
    // left the list meanwhile is skipped and the others are still the ones selected.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (parts_.list->index_of(it->get()) >= 0)
            cancel_one(*it, delete_files);
    }
}

void Controller::cancel_item(std::int32_t row, bool delete_file) {
    if (row < 0)
        return;
    if (auto item = parts_.list->shared_at(row))
        cancel_one(item, delete_file);
}

void Controller::cancel_one(const DownloadList::ItemPtr& item, bool delete_file) {
    try {
        const std::string path = item->local_path();
        if (item->state.load() == ItemState::MontageHeld) {
            if (parts_.montage != nullptr && parts_.montage->current_item() == item.get()) {
                if (parts_.montage->worker_running()) {
                    if (parts_.host != nullptr) {
                        parts_.host->message_box(kMontageBusyText, kPauseCaption,
                                                 MessageButtons::Ok, MessageIcon::Information);
                    }
                    return;
                }
                // The item is leaving: the Montage must not start it again.
                item->restart_on_close = false;
                parts_.montage->close_media();
            }
            stop_item(*item, env_);
        }
        if (item->state.load() == ItemState::InfoHeld) {
            if (info_window_.item() == item.get())
                info_window_.close();
            else
                item->state = ItemState::Stopped;
        }
        // Stable here: only this thread clears it, when the worker's exit is handled.
        const bool has_worker = item->worker_active.load();
        if (item->state.load() == ItemState::Stopped) {
            // A worker that exists may not have begun yet; if it begins it is stopped at once
            // (stop_cancelled_runs).
            if (has_worker)
                cancelled_[item.get()] = item;
            finish_download(item.get(), true, delete_file);
        } else {
            // Running: the worker notices the stop, ends its run and sends 2776 because
            // `completed` is set; the finished-download handling then removes the item.
            cancelled_[item.get()] = item;
            item->completed = true;
            stop_item(*item, env_);
        }
        notify_state_changed();
        save_list();
        if (delete_file) {
            if (has_worker)
                delete_after_exit_.insert(item.get());
            else
                delete_local_file(path);
        }
    } catch (...) {
        // Ends the cancel of this item only.
    }
}

void Controller::stop_cancelled_runs() {
    for (const auto& [raw, item] : cancelled_) {
        if (item->state.load() == ItemState::Running) {
            item->completed = true;
            stop_item(*item, env_);
        }
    }
}

void Controller::delete_local_file(const std::string& path) {
    if (path.empty())
        return;
    // Never the file of a download that is still in the list (a new download at the same path).
    for (const auto& other : *parts_.list) {
        if (other->local_path() == path)
            return;
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// --- Completion ---

void Controller::finish_download(DownloadItem* item, bool cancelled, bool deleting) {
    const std::int32_t index = parts_.list->index_of(item);
    if (index >= 0) {
        const DownloadList::ItemPtr keep = parts_.list->shared_at(index);
        // The Montage's item goes only when its media can be closed; while a Montage worker reads
        // from it, it stays in the list.
        const bool montage_item =
            parts_.montage != nullptr && parts_.montage->current_item() == item;
        if (montage_item && parts_.montage->worker_running()) {
            save_list();
            notify_state_changed();
            return;
        }
        bool open_it = false;
        std::string path;
        {
            auto data = item->lock();
            const std::int64_t downloaded = data->saved.downloaded;
            const std::int64_t total = data->saved.total_size;
            open_it = downloaded > 0 && (total < 1 || total == downloaded) &&
                      data->saved.open_when_done != 0;
            path = std::string(data->local_path());
        }
        if (open_it && !deleting && parts_.host != nullptr)
            parts_.host->open_file(path);
        if (montage_item)
            parts_.montage->close_media();
        if (info_window_.item() == item)
            info_window_.close();
        if (!cancelled && on_completed)
            on_completed(*item);
        parts_.list->remove_item(parts_.list->index_of(item));
    }
    save_list();
    notify_state_changed();
}

}  // namespace rg
