#include "settings/ui/credentials_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/credentials_dialog.h"
#include "settings/dialog_limits.h"
#include "settings/ini_store.h"
#include "settings/site_passwords.h"
#include "settings/ui/byte_limit_validator.h"

namespace rg {

namespace {

constexpr int kMinimumWidth = 300;

constexpr std::string_view kNotRememberedText =
    "The User Name and Password could not be written to the settings file.\r\nThey are used "
    "for that server until Reelgrab ends.";

// The worker's prompt: only the engine's "Empty Fields" question. It has no targets and remembers
// nothing (the controller stores the answer), so the list it is given is never touched.
CredentialsDialogResult worker_prompt_ok(Host& host, std::string_view user_name,
                                         std::string_view password) {
    IniStore no_file{std::string()};
    SitePasswordList untouched(no_file);
    return credentials_dialog_ok(host, user_name, password, false, {}, untouched);
}

}  // namespace

CredentialsDialog::CredentialsDialog(Host& host, std::vector<DownloadItem*> targets,
                                     SitePasswordList& passwords, QWidget* parent)
    : QDialog(parent), host_(host), targets_(std::move(targets)), passwords_(&passwords) {
    build();
}

CredentialsDialog::CredentialsDialog(Host& host, QWidget* parent) : QDialog(parent), host_(host) {
    build();
}

void CredentialsDialog::build() {
    setWindowTitle(QStringLiteral("Set UserName and Password"));
    setMinimumWidth(kMinimumWidth);

    user_edit_ = new QLineEdit(this);
    password_edit_ = new QLineEdit(this);
    password_edit_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {user_edit_, password_edit_}) {
        edit->setMaxLength(static_cast<int>(kDialogCredentialMax));
        edit->setValidator(new ByteLimitValidator(kDialogCredentialMax, edit));
    }
    remember_box_ = new QCheckBox(QStringLiteral("Always use these data for that server"), this);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("UserName : "), user_edit_);
    fields->addRow(QStringLiteral("Password : "), password_edit_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(remember_box_);
    layout->addWidget(buttons);

    setTabOrder(user_edit_, password_edit_);
    setTabOrder(password_edit_, remember_box_);
    setTabOrder(remember_box_, buttons);
}

void CredentialsDialog::accept() {
    CredentialsAnswer typed{user_edit_->text().toStdString(), password_edit_->text().toStdString(),
                            remember_box_->isChecked()};
    const CredentialsDialogResult result =
        passwords_ != nullptr ? credentials_dialog_ok(host_, typed.user_name, typed.password,
                                                      typed.remember, targets_, *passwords_)
                              : worker_prompt_ok(host_, typed.user_name, typed.password);
    if (!result.close)
        return;
    applied_ = result.applied;
    // The fields always fit: the engine read at most 79 bytes of each. A settings file that
    // cannot be written is told, not passed over as if the server were remembered.
    if (!applied_.remembered) {
        host_.message_box(kNotRememberedText, kErrorCaption, MessageButtons::Ok,
                          MessageIcon::Error);
    }
    // The engine read at most kDialogCredentialMax characters of each field.
    typed.user_name = typed.user_name.substr(0, kDialogCredentialMax);
    typed.password = typed.password.substr(0, kDialogCredentialMax);
    answer_ = std::move(typed);
    QDialog::accept();
}

}  // namespace rg
