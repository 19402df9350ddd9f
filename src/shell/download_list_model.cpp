#include "shell/download_list_model.h"

#include <QString>

namespace rg {

DownloadListModel::DownloadListModel(const DownloadList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list) {}

int DownloadListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant DownloadListModel::data(const QModelIndex& index, int role) const {
    DownloadItem* item = item_at(index.row());
    if (item == nullptr || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromStdString(item->file_name());
    if (role == kItemRole)
        return QVariant::fromValue(static_cast<void*>(item));
    return {};
}

DownloadItem* DownloadListModel::item_at(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return nullptr;
    return rows_[static_cast<std::size_t>(row)].get();
}

bool DownloadListModel::in_step() const {
    if (static_cast<int>(rows_.size()) != list_.count())
        return false;
    std::size_t row = 0;
    for (const auto& item : list_) {
        if (rows_[row++] != item)
            return false;
    }
    return true;
}

void DownloadListModel::sync() {
    if (in_step())
        return;
    remove_gone_rows();
    // The rows are now a subset of the list: walk the list, moving rows up into place and
    // inserting runs of new items.
    int at = 0;
    auto it = list_.begin();
    while (it != list_.end()) {
        const DownloadList::ItemPtr& want = *it;
        if (at < static_cast<int>(rows_.size()) && rows_[static_cast<std::size_t>(at)] == want) {
            ++at;
            ++it;
            continue;
        }
        if (members_.count(want.get()) > 0) {
            const int from = find_row(want.get(), at + 1);
            beginMoveRows(QModelIndex(), from, from, QModelIndex(), at);
            auto moved = rows_[static_cast<std::size_t>(from)];
            rows_.erase(rows_.begin() + from);
            rows_.insert(rows_.begin() + at, std::move(moved));
            endMoveRows();
            ++at;
            ++it;
            continue;
        }
        std::vector<DownloadList::ItemPtr> run;
        while (it != list_.end() && members_.count(it->get()) == 0) {
            run.push_back(*it);
            ++it;
        }
        insert_rows(at, run);
        at += static_cast<int>(run.size());
    }
}

void DownloadListModel::remove_gone_rows() {
    std::unordered_set<const DownloadItem*> in_list;
    in_list.reserve(static_cast<std::size_t>(list_.count()));
    for (const auto& item : list_)
        in_list.insert(item.get());
    // From the last row, one event per run of adjacent rows that left.
    int row = static_cast<int>(rows_.size()) - 1;
    while (row >= 0) {
        if (in_list.count(rows_[static_cast<std::size_t>(row)].get()) > 0) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && in_list.count(rows_[static_cast<std::size_t>(first - 1)].get()) == 0)
            --first;
        beginRemoveRows(QModelIndex(), first, row);
        for (int r = first; r <= row; ++r)
            members_.erase(rows_[static_cast<std::size_t>(r)].get());
        rows_.erase(rows_.begin() + first, rows_.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }
}

void DownloadListModel::insert_rows(int at, const std::vector<DownloadList::ItemPtr>& items) {
    if (items.empty())
        return;
    beginInsertRows(QModelIndex(), at, at + static_cast<int>(items.size()) - 1);
    rows_.insert(rows_.begin() + at, items.begin(), items.end());
    for (const auto& item : items)
        members_.insert(item.get());
    endInsertRows();
}

int DownloadListModel::find_row(const DownloadItem* item, int from) const {
    for (int row = from; row < static_cast<int>(rows_.size()); ++row) {
        if (rows_[static_cast<std::size_t>(row)].get() == item)
            return row;
    }
    return -1;
}

}  // namespace rg
