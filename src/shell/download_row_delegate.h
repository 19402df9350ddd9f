#pragma once

#include <QStyledItemDelegate>

namespace rg {

class DownloadItem;

inline constexpr int kRowHeight = 37;

// What one row shows, read from its item under one lock.
struct RowView {
    QString name;
    QString progress;  // "%s/%s (%.2f%%)"
    QString speed;     // "%.2f Kb/s"
    QString status;    // with "[Retry:%u]" while a running item retries
    QColor colour;     // the state colour
    int icon = 0;      // the state icon's index
};

RowView row_view(const DownloadItem& item);

// Paints the 37-pixel rows of the download list.
class DownloadRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace rg
