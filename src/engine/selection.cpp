#include "engine/selection.h"

#include <algorithm>

#include "engine/download_list.h"

namespace rg {

namespace {

// HTTP "Not Found"; the FTP client reports a refused transfer with the same code.
constexpr std::int32_t kStatusNotFound = 404;

bool in_range(std::int32_t row, std::int32_t rows) {
    return row >= 0 && row < rows;
}

bool is_running(ItemState state) {
    return state == ItemState::Running || state == ItemState::MontageHeld;
}

template <typename Test>
void select_where(const DownloadList& list, Selection& selection, Test test) {
    selection.resize(list.count());
    for (std::int32_t row = 0; row < list.count(); ++row)
        selection.set_selected(row, test(*list.item_at(row)));
}

}  // namespace

Selection::Selection(std::int32_t rows) : flags_(static_cast<std::size_t>(std::max(rows, 0))) {}

Selection Selection::of(std::int32_t rows, std::initializer_list<std::int32_t> selected,
                        std::int32_t caret) {
    Selection selection(rows);
    for (std::int32_t row : selected)
        selection.set_selected(row, true);
    selection.set_caret(caret);
    return selection;
}

bool Selection::is_selected(std::int32_t row) const {
    return in_range(row, rows()) && flags_[static_cast<std::size_t>(row)];
}

bool Selection::set_selected(std::int32_t row, bool on) {
    if (!in_range(row, rows()))
        return false;
    flags_[static_cast<std::size_t>(row)] = on;
    return true;
}

bool Selection::set_caret(std::int32_t row) {
    if (row != kNoRow && !in_range(row, rows()))
        return false;
    caret_ = row;
    return true;
}

std::int32_t Selection::selected_count() const {
    return static_cast<std::int32_t>(std::count(flags_.begin(), flags_.end(), true));
}

std::vector<std::int32_t> Selection::selected_rows() const {
    std::vector<std::int32_t> result;
    for (std::int32_t row = 0; row < rows(); ++row) {
        if (flags_[static_cast<std::size_t>(row)])
            result.push_back(row);
    }
    return result;
}

std::int32_t Selection::caret_target() const {
    if (is_selected(caret_))
        return caret_;
    for (std::int32_t row = 0; row < rows(); ++row) {
        if (flags_[static_cast<std::size_t>(row)])
            return row;
    }
    return kNoRow;
}

void Selection::select_all() {
    std::fill(flags_.begin(), flags_.end(), true);
}

void Selection::select_none() {
    std::fill(flags_.begin(), flags_.end(), false);
}

void Selection::select_inverse() {
    flags_.flip();
}

void Selection::resize(std::int32_t rows) {
    flags_.resize(static_cast<std::size_t>(std::max(rows, 0)));
    if (!in_range(caret_, this->rows()))
        caret_ = kNoRow;
}

bool Selection::move_row(std::int32_t from, std::int32_t to) {
    if (!in_range(from, rows()) || !in_range(to, rows()))
        return false;
    const bool flag = flags_[static_cast<std::size_t>(from)];
    flags_.erase(flags_.begin() + from);
    flags_.insert(flags_.begin() + to, flag);
    if (caret_ == from) {
        caret_ = to;
    } else if (from < caret_ && caret_ <= to) {
        --caret_;
    } else if (to <= caret_ && caret_ < from) {
        ++caret_;
    }
    return true;
}

std::int32_t settled_status_code(const DownloadItem& item) {
    // worker_active is cleared on this thread only after the worker was joined, and the Montage
    // writes the connection only while it holds the item.
    if (item.worker_active.load() || item.state.load() == ItemState::MontageHeld)
        return 0;
    return item.connection.status_code;
}

void select_running(const DownloadList& list, Selection& selection) {
    select_where(list, selection,
                 [](const DownloadItem& item) { return is_running(item.state.load()); });
}

void select_not_found(const DownloadList& list, Selection& selection) {
    select_where(list, selection, [](const DownloadItem& item) {
        return settled_status_code(item) == kStatusNotFound;
    });
}

void select_not_scheduled(const DownloadList& list, Selection& selection) {
    select_where(list, selection,
                 [](DownloadItem& item) { return item.lock()->saved.scheduled == 0; });
}

bool apply_selection_command(CommandId id, const DownloadList& list, Selection& selection) {
    switch (id) {
        case CommandId::SelectAll:
        case CommandId::SelectNone:
        case CommandId::SelectInverse:
        case CommandId::SelectRunning:
        case CommandId::SelectNotFound:
        case CommandId::SelectNotScheduled:
            break;
        default:
            return false;
    }
    if (list.empty())
        return true;
    selection.resize(list.count());
    switch (id) {
        case CommandId::SelectAll:
            selection.select_all();
            break;
        case CommandId::SelectNone:
            selection.select_none();
            break;
        case CommandId::SelectInverse:
            selection.select_inverse();
            break;
        case CommandId::SelectRunning:
            select_running(list, selection);
            break;
        case CommandId::SelectNotFound:
            select_not_found(list, selection);
            break;
        case CommandId::SelectNotScheduled:
            select_not_scheduled(list, selection);
            break;
        default:
            break;
    }
    return true;
}

}  // namespace rg
