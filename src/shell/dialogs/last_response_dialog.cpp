#include "shell/dialogs/last_response_dialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/dialogs/message_dialog.h"

namespace rg {

namespace {

constexpr int kMinimumWidth = 460;
constexpr int kMinimumLines = 12;

}  // namespace

LastResponseDialog::LastResponseDialog(std::string_view raw_headers, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Last Response"));
    setMinimumWidth(kMinimumWidth);

    text_edit_ = new QPlainTextEdit(this);
    text_edit_->setReadOnly(true);
    text_edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_edit_->setPlainText(display_text(raw_headers));
    text_edit_->setMinimumHeight(text_edit_->fontMetrics().lineSpacing() * kMinimumLines);

    copy_button_ = new QPushButton(QStringLiteral("Copy &All"), this);
    copy_button_->setAutoDefault(false);
    close_button_ = new QPushButton(QStringLiteral("Close"), this);
    close_button_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy_button_);
    buttons->addStretch(1);
    buttons->addWidget(close_button_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_edit_, 1);
    layout->addLayout(buttons);

    setTabOrder(text_edit_, copy_button_);
    setTabOrder(copy_button_, close_button_);

    // The whole text: a long header block is not cut at a fixed buffer's size.
    connect(copy_button_, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(text_edit_->toPlainText()); });
    connect(close_button_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace rg
