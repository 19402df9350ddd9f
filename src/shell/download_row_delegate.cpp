#include "shell/download_row_delegate.h"

#include <QPainter>
#include <cstdio>

#include "engine/download_item.h"
#include "shell/artwork.h"
#include "shell/download_list_model.h"
#include "shell/palette.h"

namespace rg {

namespace {

constexpr std::size_t kNumberText = 64;
constexpr int kIconAt = 4;

// A rectangle given by its edges from the row's corner; right and bottom are exclusive.
QRect row_rect(const QRect& row, int left, int top, int right, int bottom) {
    return QRect(QPoint(row.left() + left, row.top() + top),
                 QPoint(row.left() + right - 1, row.top() + bottom - 1));
}

QString speed_text(float kb_per_s) {
    char text[kNumberText];
    std::snprintf(text, sizeof text, "%.2f Kb/s", static_cast<double>(kb_per_s));
    return QString::fromLatin1(text);
}

ArtIcon state_icon(ItemState state, bool resumable) {
    switch (state) {
        case ItemState::Running:
            return resumable ? ArtIcon::Playing : ArtIcon::PlayingPlain;
        case ItemState::MontageHeld:
            return ArtIcon::MontageHeld;
        default:
            return resumable ? ArtIcon::Paused : ArtIcon::StoppedPlain;
    }
}

void draw_text(QPainter* painter, const QRect& rect, int flags, const QString& text, bool elide) {
    if (elide) {
        const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
        painter->drawText(rect, flags | Qt::TextSingleLine, shown);
    } else {
        painter->drawText(rect, flags | Qt::TextSingleLine | Qt::TextDontClip, text);
    }
}

}  // namespace

RowView row_view(const DownloadItem& item) {
    RowView view;
    const ItemState state = item.state.load();
    const bool moving = state == ItemState::Running || state == ItemState::MontageHeld;
    bool resumable = false;
    std::string status;
    {
        auto& mutable_item = const_cast<DownloadItem&>(item);
        auto data = mutable_item.lock();
        view.name = QString::fromStdString(data->file_name);
        view.progress =
            QString::fromStdString(format_progress(data->saved.downloaded, data->saved.total_size));
        resumable = data->saved.resumable == 1;
        status = data->status_text;
    }
    const std::int32_t retries = item.retry_count.load();
    if (state == ItemState::Running && retries > 0)
        status += "[Retry:" + std::to_string(static_cast<std::uint32_t>(retries) + 1) + "]";
    view.status = QString::fromStdString(status);
    view.speed = speed_text(moving ? item.speed.load() : 0.0f);
    view.colour = state == ItemState::Running       ? colours::kRunning
                  : state == ItemState::MontageHeld ? colours::kMontageHeld
                                                    : QColor(Qt::black);
    view.icon = static_cast<int>(state_icon(state, resumable));
    return view;
}

void DownloadRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const auto* item =
        static_cast<const DownloadItem*>(index.data(DownloadListModel::kItemRole).value<void*>());
    if (item == nullptr)
        return;
    const RowView view = row_view(*item);
    const QRect row = option.rect;
    const int w = row.width();
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(row, selected ? colours::kSelection : colours::kRowBackground);

    painter->setFont(role_font(FontRole::TitleBold));
    painter->setPen(Qt::black);
    draw_text(painter, row_rect(row, w - 75, 5, w - 20, 17), Qt::AlignRight | Qt::AlignVCenter,
              view.progress, false);

    painter->setPen(view.colour);
    draw_text(painter, row_rect(row, 25, 5, w - 185, 17), Qt::AlignLeft | Qt::AlignVCenter,
              view.name, true);

    painter->setFont(role_font(FontRole::SmallBold));
    draw_text(painter, row_rect(row, w - 90, 22, w - 20, 34), Qt::AlignRight | Qt::AlignVCenter,
              view.speed, false);

    paint_icon(*painter, QRectF(row.left() + kIconAt, row.top() + kIconAt, kIconCell, kIconCell),
               static_cast<ArtIcon>(view.icon));

    painter->setFont(role_font(FontRole::SmallItalic));
    painter->setPen(view.colour);
    draw_text(painter, row_rect(row, 5, 20, w - 100, 30), Qt::AlignLeft | Qt::AlignVCenter,
              view.status, true);

    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(QColor(90, 120, 170), 1, Qt::DotLine));
        painter->drawRect(row.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize DownloadRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), kRowHeight);
}

}  // namespace rg
