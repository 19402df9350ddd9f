#include "shell/downloads_pane.h"

#include <QMouseEvent>
#include <QPainter>

#include "intake/add_download.h"
#include "shell/download_list_model.h"
#include "shell/download_row_delegate.h"
#include "shell/palette.h"

namespace rg {

namespace {

constexpr QSize kAddSize{70, 24};
constexpr QSize kRowButtonSize{80, 24};
constexpr int kEdgeGap = 4;
constexpr int kRightGap = 6;
constexpr int kAddAboveEdit = 2;
constexpr int kEditBeforeAdd = 10;
constexpr int kEditShorterThanAdd = 6;
constexpr int kBelowList = 7;
constexpr int kStripHeight = 27;

ImageButton::Look row_button_look(ArtIcon icon) {
    ImageButton::Look look;
    look.icon = icon;
    return look;
}

}  // namespace

DownloadListView::DownloadListView(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new DownloadRowDelegate(this));
}

void DownloadListView::select_for_click(const QModelIndex& index) {
    QItemSelectionModel* selection = selectionModel();
    if (!selection->isSelected(index)) {
        selection->select(index, QItemSelectionModel::ClearAndSelect);
    }
    selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void DownloadListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not passed on: the view reports no double click of its own.
    if (event->button() != Qt::LeftButton || model() == nullptr || model()->rowCount() == 0)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        return;
    select_for_click(index);
    emit row_double_clicked(index.row());
}

void DownloadListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QListView::mousePressEvent(event);
        return;
    }
    if (model() == nullptr || model()->rowCount() == 0)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        select_for_click(index);
    emit context_menu_wanted(event->globalPosition().toPoint());
}

DownloadsPane::DownloadsPane(DownloadListModel& model, QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    url_edit_ = new QLineEdit(this);
    url_edit_->setMaxLength(static_cast<int>(kUrlBoxMax));
    url_edit_->setObjectName("url_edit");

    ImageButton::Look add_look;
    add_look.skin = false;
    add_look.background = colours::kPane;
    add_ = new ImageButton(tr("&Add"), add_look, this);
    add_->resize(kAddSize);

    list_ = new DownloadListView(this);
    list_->setModel(&model);
    list_->setObjectName("download_list");

    start_ = new ImageButton(tr("Start"), row_button_look(ArtIcon::Playing), this);
    pause_ = new ImageButton(tr("Pause"), row_button_look(ArtIcon::Paused), this);
    cancel_ = new ImageButton(tr("Cancel"), row_button_look(ArtIcon::Cancel), this);
    for (ImageButton* button : {start_, pause_, cancel_})
        button->resize(kRowButtonSize);

    connect(url_edit_, &QLineEdit::returnPressed, this,
            [this] { emit add_wanted(url_edit_->text()); });
    connect(add_, &QAbstractButton::clicked, this, [this] { emit add_wanted(url_edit_->text()); });
    // Leaving the edit selects its whole text, so the next paste replaces it.
    connect(url_edit_, &QLineEdit::editingFinished, url_edit_, &QLineEdit::selectAll);
}

void DownloadsPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    lay_out();
}

void DownloadsPane::lay_out() {
    const int w = width();
    const int h = height();
    url_edit_->move(kEdgeGap, kEdgeGap);
    add_->move(w - add_->width() - kRightGap, url_edit_->y() - kAddAboveEdit);
    url_edit_->resize(add_->x() - kEditBeforeAdd, add_->height() - kEditShorterThanAdd);
    list_->move(url_edit_->x(), url_edit_->geometry().bottom() + 1 + kEdgeGap);
    list_->resize(add_->geometry().right() + 1 - list_->x(),
                  h - start_->height() - list_->y() - kBelowList);
    const int buttons_y = list_->geometry().bottom() + 1 + kEdgeGap;
    start_->move(list_->x(), buttons_y);
    pause_->move(start_->geometry().right() + 1 + kEdgeGap, buttons_y);
    cancel_->move(w - cancel_->width() - kRightGap, buttons_y);
}

void DownloadsPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colours::kPane);
    paint_skin(painter, QRectF(0, height() - kStripHeight, width(), kStripHeight));
}

}  // namespace rg
