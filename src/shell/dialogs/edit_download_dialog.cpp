#include "shell/dialogs/edit_download_dialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/info_window.h"
#include "engine/saved_block.h"

namespace rg {

namespace {

constexpr int kMinimumWidth = 520;

QString from_std(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

EditDownloadDialog::EditDownloadDialog(InfoWindow& info, QWidget* parent)
    : QDialog(parent), info_(info) {
    setWindowTitle(QStringLiteral("Edit Download Data (Advanced)"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumWidth(kMinimumWidth);

    url_edit_ = new QLineEdit(this);
    url_edit_->setMaxLength(static_cast<int>(SavedBlock::kUrlSize - 1));
    path_edit_ = new QLineEdit(this);
    path_edit_->setReadOnly(true);
    move_button_ = new QPushButton(QStringLiteral("..."), this);
    move_button_->setAutoDefault(false);
    move_button_->setFixedWidth(
        move_button_->fontMetrics().horizontalAdvance(QStringLiteral("....")) +
        move_button_->fontMetrics().height());

    range_list_ = new QListWidget(this);
    range_list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    delete_button_ = new QPushButton(QStringLiteral("Delete Selected"), this);
    clear_button_ = new QPushButton(QStringLiteral("Clear All..."), this);
    for (QPushButton* button : {delete_button_, clear_button_})
        button->setAutoDefault(false);

    size_label_ = new QLabel(this);
    resumed_label_ = new QLabel(this);
    finished_label_ = new QLabel(this);
    range_count_label_ = new QLabel(this);

    close_button_ = new QPushButton(QStringLiteral("Close"), this);
    close_button_->setDefault(true);

    auto* file = new QGridLayout;
    file->addWidget(new QLabel(QStringLiteral("Url:"), this), 0, 0);
    file->addWidget(url_edit_, 0, 1, 1, 2);
    file->addWidget(new QLabel(QStringLiteral("Local File Name:"), this), 1, 0);
    file->addWidget(path_edit_, 1, 1);
    file->addWidget(move_button_, 1, 2);
    file->setColumnStretch(1, 1);

    auto* range_buttons = new QHBoxLayout;
    range_buttons->addWidget(delete_button_);
    range_buttons->addWidget(clear_button_);
    range_buttons->addStretch(1);
    auto* ranges_group = new QGroupBox(QStringLiteral("Download Ranges :"), this);
    auto* ranges = new QVBoxLayout(ranges_group);
    ranges->addWidget(range_list_);
    ranges->addLayout(range_buttons);

    auto* statistics_group = new QGroupBox(QStringLiteral("Statistics :"), this);
    auto* statistics = new QGridLayout(statistics_group);
    statistics->addWidget(size_label_, 0, 0);
    statistics->addWidget(resumed_label_, 0, 1);
    statistics->addWidget(finished_label_, 1, 0);
    statistics->addWidget(range_count_label_, 1, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close_button_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(file);
    layout->addWidget(ranges_group, 1);
    layout->addWidget(statistics_group);
    layout->addLayout(bottom);

    setTabOrder(url_edit_, path_edit_);
    setTabOrder(path_edit_, move_button_);
    setTabOrder(move_button_, range_list_);
    setTabOrder(range_list_, delete_button_);
    setTabOrder(delete_button_, clear_button_);
    setTabOrder(clear_button_, close_button_);

    url_edit_->setText(from_std(info_.url_text()));
    connect(url_edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!detached_)
            info_.set_url_text(text.toStdString());
    });
    connect(move_button_, &QPushButton::clicked, this, &EditDownloadDialog::move_file);
    connect(delete_button_, &QPushButton::clicked, this, &EditDownloadDialog::delete_selected);
    connect(clear_button_, &QPushButton::clicked, this, &EditDownloadDialog::clear_all);
    connect(close_button_, &QPushButton::clicked, this, &QWidget::close);

    // The controller closes the InfoWindow for a start of its item: the dialog follows.
    info_.on_closed = [this] {
        detached_ = true;
        close();
    };
    fill();
}

EditDownloadDialog::~EditDownloadDialog() {
    // A dialog that let go already must not unhook the dialog of a later opening.
    if (!detached_)
        info_.on_closed = nullptr;
}

void EditDownloadDialog::fill() {
    path_edit_->setText(from_std(info_.local_path()));
    range_list_->clear();
    for (const std::string& row : info_.range_rows())
        range_list_->addItem(from_std(row));
    const InfoWindow::Statistics statistics = info_.statistics();
    size_label_->setText(from_std(statistics.size));
    resumed_label_->setText(from_std(statistics.resumed));
    finished_label_->setText(from_std(statistics.finished));
    range_count_label_->setText(from_std(statistics.range_count));
}

void EditDownloadDialog::delete_selected() {
    std::vector<std::int32_t> rows;
    for (const QModelIndex& index : range_list_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    if (info_.delete_ranges(rows))
        fill();
}

void EditDownloadDialog::clear_all() {
    if (info_.clear_all())
        fill();
}

void EditDownloadDialog::move_file() {
    setEnabled(false);
    info_.change_local_filename();
    fill();
    setEnabled(true);
}

void EditDownloadDialog::finish() {
    if (detached_)
        return;
    detached_ = true;
    // InfoWindow::close calls on_closed, which would close this dialog a second time.
    info_.on_closed = nullptr;
    info_.close();
}

void EditDownloadDialog::closeEvent(QCloseEvent* event) {
    finish();
    event->accept();
}

void EditDownloadDialog::reject() {
    // Escape closes like "Close", storing the URL.
    finish();
    QDialog::reject();
}

}  // namespace rg
