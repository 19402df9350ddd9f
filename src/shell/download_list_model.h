#pragma once

#include <QAbstractListModel>
#include <unordered_set>
#include <vector>

#include "engine/download_list.h"

namespace rg {

// The rows of the list view over the DownloadList. The list is changed by the controller (adds,
// finished and cancelled downloads, reorders); sync() then brings the rows in line with it through
// exact remove, move and insert events, so the view's selection and caret stay with their items.
// Each row keeps its item alive until it is synced away, so a row never points at a freed item.
class DownloadListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    // The item of a row, as a DownloadItem*.
    static constexpr int kItemRole = Qt::UserRole + 1;

    explicit DownloadListModel(const DownloadList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    DownloadItem* item_at(int row) const;
    // True when the rows are the list's items in the list's order.
    bool in_step() const;
    // Brings the rows in line with the list. Controller thread only.
    void sync();

  private:
    void remove_gone_rows();
    void insert_rows(int at, const std::vector<DownloadList::ItemPtr>& items);
    int find_row(const DownloadItem* item, int from) const;

    const DownloadList& list_;
    std::vector<DownloadList::ItemPtr> rows_;
    std::unordered_set<const DownloadItem*> members_;
};

}  // namespace rg
