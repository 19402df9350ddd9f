#include "intake/ui/new_download_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <optional>

#include "settings/dialog_limits.h"
#include "settings/ui/byte_limit_validator.h"

namespace rg {

namespace {

// What "Add" reads of "Save To".
constexpr int kFolderTextMax = 2047;
// Lines named in the message about lines over the series limits.
constexpr std::size_t kUnexpandedShown = 5;
constexpr int kUrlBoxLines = 6;

constexpr std::string_view kUnexpandedCaption = "New Download";
constexpr std::string_view kUnexpandedText = "These lines were not added:";

QString with_separator(QString folder) {
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString& folder_store() {
    static QString folder = [] {
        QString start = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        if (start.isEmpty())
            start = QDir::homePath();
        return with_separator(start);
    }();
    return folder;
}

std::string_view problem_text(ExpandProblem problem) {
    switch (problem) {
        case ExpandProblem::kTooManyUrls:
            return "too many URLs";
        case ExpandProblem::kTooLong:
            return "a URL too long";
        case ExpandProblem::kControlCharacters:
            return "letters that cannot be in a URL";
        case ExpandProblem::kNone:
            break;
    }
    return "";
}

}  // namespace

QString choose_folder(QWidget* owner) {
    return with_separator(
        QFileDialog::getExistingDirectory(owner, QStringLiteral("Select folder"), QString()));
}

QString NewDownloadDialog::remembered_folder() {
    return folder_store();
}

void NewDownloadDialog::set_remembered_folder(const QString& folder) {
    folder_store() = folder;
}

NewDownloadDialog::NewDownloadDialog(AddContext& context, QWidget* parent)
    : QDialog(parent), browse_folder(choose_folder), context_(context) {
    setWindowTitle(QStringLiteral("New Download"));

    url_box_ = new QPlainTextEdit(this);
    url_box_->setLineWrapMode(QPlainTextEdit::NoWrap);
    url_box_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    url_box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    url_box_->setTabChangesFocus(true);
    url_box_->setMinimumHeight(url_box_->fontMetrics().lineSpacing() * kUrlBoxLines);

    folder_edit_ = new QLineEdit(this);
    folder_edit_->setReadOnly(true);
    folder_edit_->setText(remembered_folder());
    browse_button_ = new QPushButton(QStringLiteral("..."), this);
    browse_button_->setAutoDefault(false);
    browse_button_->setFixedWidth(
        browse_button_->fontMetrics().horizontalAdvance(QStringLiteral("....")) +
        browse_button_->fontMetrics().height());

    scheduled_box_ = new QCheckBox(QStringLiteral("Scheduled Download"), this);
    scheduled_box_->setChecked(true);
    authentication_box_ = new QCheckBox(QStringLiteral("Authentication Required"), this);
    user_edit_ = new QLineEdit(this);
    password_edit_ = new QLineEdit(this);
    password_edit_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {user_edit_, password_edit_}) {
        edit->setMaxLength(static_cast<int>(kDialogCredentialMax));
        edit->setValidator(new ByteLimitValidator(kDialogCredentialMax, edit));
        edit->setEnabled(false);
    }

    add_button_ = new QPushButton(QStringLiteral("Add"), this);
    add_button_->setDefault(true);
    auto* cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_button->setAutoDefault(false);

    auto* folder_row = new QHBoxLayout;
    folder_row->addWidget(folder_edit_, 1);
    folder_row->addWidget(browse_button_);

    auto* credentials = new QGridLayout;
    credentials->addWidget(authentication_box_, 0, 0, 1, 2);
    credentials->addWidget(new QLabel(QStringLiteral("Username :"), this), 1, 0);
    credentials->addWidget(user_edit_, 1, 1);
    credentials->addWidget(new QLabel(QStringLiteral("Password :"), this), 2, 0);
    credentials->addWidget(password_edit_, 2, 1);

    auto* options = new QHBoxLayout;
    options->addWidget(scheduled_box_, 0, Qt::AlignTop);
    options->addSpacing(fontMetrics().height());
    options->addLayout(credentials, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(add_button_);
    buttons->addWidget(cancel_button);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("URL List :"), this));
    layout->addWidget(url_box_, 1);
    layout->addWidget(new QLabel(QStringLiteral("Save To :"), this));
    layout->addLayout(folder_row);
    layout->addLayout(options);
    layout->addLayout(buttons);

    setTabOrder(url_box_, folder_edit_);
    setTabOrder(folder_edit_, browse_button_);
    setTabOrder(browse_button_, scheduled_box_);
    setTabOrder(scheduled_box_, authentication_box_);
    setTabOrder(authentication_box_, user_edit_);
    setTabOrder(user_edit_, password_edit_);
    setTabOrder(password_edit_, add_button_);
    setTabOrder(add_button_, cancel_button);

    connect(browse_button_, &QPushButton::clicked, this,
            [this] { folder_edit_->setText(browse_folder ? browse_folder(this) : QString()); });
    connect(authentication_box_, &QCheckBox::toggled, this, [this](bool on) {
        user_edit_->setEnabled(on);
        password_edit_->setEnabled(on);
    });
    connect(add_button_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);
    url_box_->setFocus();
}

void NewDownloadDialog::set_urls(const QStringList& urls) {
    url_box_->setPlainText(urls.join(QLatin1Char('\n')));
}

void NewDownloadDialog::accept() {
    outcome_ = {};
    const QString text = url_box_->toPlainText();
    if (text.isEmpty()) {
        QDialog::accept();
        return;
    }
    std::vector<std::string> urls;
    outcome_.unexpanded = expand_url_list(text.toStdString(), urls).refused;
    add_all(urls);
    set_remembered_folder(folder_edit_->text().left(kFolderTextMax));
    report_unexpanded();
    QDialog::accept();
}

void NewDownloadDialog::add_all(const std::vector<std::string>& urls) {
    const std::string folder = folder_edit_->text().left(kFolderTextMax).toStdString();
    std::optional<std::string> user_name;
    std::optional<std::string> password;
    if (authentication_box_->isChecked()) {
        user_name = user_edit_->text().toStdString().substr(0, kDialogCredentialMax);
        password = password_edit_->text().toStdString().substr(0, kDialogCredentialMax);
    }

    // One save after the last URL instead of one per URL: a long series would otherwise write
    // the whole list once for every download it adds.
    bool any_added = false;
    AddContext batch = context_;
    batch.save_list = [] { return true; };
    for (const std::string& url : urls) {
        AddRequest request;
        if (!folder.empty())
            request.folder = folder;
        request.url = url;
        // Without a folder every URL goes through the save-file chooser; a chooser that fails
        // ends that URL rather than retrying with another name.
        request.no_fallback = true;
        request.user_name = user_name;
        request.password = password;
        request.scheduled = scheduled_box_->isChecked();
        const AddResult result = add_download(batch, request);
        if (result.status == AddStatus::kAdded) {
            ++outcome_.added;
            any_added = true;
        } else {
            ++outcome_.refused;
        }
    }
    if (any_added && context_.save_list)
        context_.save_list();
}

void NewDownloadDialog::report_unexpanded() {
    if (outcome_.unexpanded.empty())
        return;
    std::string text(kUnexpandedText);
    std::size_t shown = 0;
    for (const ExpandRefusal& refusal : outcome_.unexpanded) {
        if (shown++ == kUnexpandedShown) {
            text += "\n...";
            break;
        }
        text += "\n" + refusal.excerpt + " (" + std::string(problem_text(refusal.problem)) + ")";
    }
    context_.host.message_box(text, kUnexpandedCaption, MessageButtons::Ok, MessageIcon::Error);
}

}  // namespace rg
