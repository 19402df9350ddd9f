#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "engine/credentials.h"
#include "platform/host.h"

class QCheckBox;
class QLineEdit;

namespace rg {

class DownloadItem;
class SitePasswordList;

// Dialog 104 "Set UserName and Password". Its OK runs the engine's credentials_dialog_ok: with
// both fields empty the "Empty Fields" question comes first, and No keeps the dialog open.
class CredentialsDialog : public QDialog {
    Q_OBJECT

  public:
    // For the selected downloads (command "Change &Username/Password..."): OK stores the
    // credentials into every target, first to last, and remembers them per server when asked.
    CredentialsDialog(Host& host, std::vector<DownloadItem*> targets, SitePasswordList& passwords,
                      QWidget* parent = nullptr);
    // For the one download a worker asks for (the server answered 401): OK only gives the answer;
    // the controller stores it while the worker waits.
    explicit CredentialsDialog(Host& host, QWidget* parent = nullptr);

    // What OK accepted; none after Cancel.
    const std::optional<CredentialsAnswer>& answer() const { return answer_; }
    // What storing into the targets gave (selected-downloads mode).
    const ApplyCredentialsResult& applied() const { return applied_; }

    QLineEdit* user_edit() const { return user_edit_; }
    QLineEdit* password_edit() const { return password_edit_; }
    QCheckBox* remember_box() const { return remember_box_; }

    void accept() override;

  private:
    void build();

    Host& host_;
    std::vector<DownloadItem*> targets_;
    SitePasswordList* passwords_ = nullptr;  // null: the worker's prompt
    std::optional<CredentialsAnswer> answer_;
    ApplyCredentialsResult applied_;
    QLineEdit* user_edit_ = nullptr;
    QLineEdit* password_edit_ = nullptr;
    QCheckBox* remember_box_ = nullptr;
};

}  // namespace rg
