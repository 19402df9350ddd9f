#pragma once

#include <QDialog>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <vector>

#include "intake/add_download.h"
#include "intake/url_list_expansion.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace rg {

// Dialog 149 "New Download": a list of URLs (with bracket series), one folder for all of them,
// optional credentials, and whether automatic downloading takes them. "Add" adds every URL
// through add_download and always closes; the downloads are not started here.
class NewDownloadDialog : public QDialog {
    Q_OBJECT

  public:
    explicit NewDownloadDialog(AddContext& context, QWidget* parent = nullptr);

    // Fills the URL box, one URL a line: the URL the clipboard monitor caught, or the URLs a
    // second start of the program hands on.
    void set_urls(const QStringList& urls);

    // The folder "Save To" opens with: the user's download folder at the first opening, then the
    // "Save To" of the last "Add". Kept for the run of the program only.
    static QString remembered_folder();
    static void set_remembered_folder(const QString& folder);

    // The "..." folder picker: a folder ending in '/', or empty when cancelled. Tests replace it.
    std::function<QString(QWidget*)> browse_folder;

    // What the last "Add" did.
    struct Outcome {
        std::size_t added = 0;
        std::size_t refused = 0;                // URLs add_download refused (it told the user)
        std::vector<ExpandRefusal> unexpanded;  // lines over the series limits
    };
    const Outcome& outcome() const { return outcome_; }

    QPlainTextEdit* url_box() const { return url_box_; }
    QLineEdit* folder_edit() const { return folder_edit_; }
    QPushButton* browse_button() const { return browse_button_; }
    QCheckBox* scheduled_box() const { return scheduled_box_; }
    QCheckBox* authentication_box() const { return authentication_box_; }
    QLineEdit* user_edit() const { return user_edit_; }
    QLineEdit* password_edit() const { return password_edit_; }
    QPushButton* add_button() const { return add_button_; }

    // "Add".
    void accept() override;

  private:
    void add_all(const std::vector<std::string>& urls);
    void report_unexpanded();

    AddContext& context_;
    Outcome outcome_;
    QPlainTextEdit* url_box_ = nullptr;
    QLineEdit* folder_edit_ = nullptr;
    QPushButton* browse_button_ = nullptr;
    QCheckBox* scheduled_box_ = nullptr;
    QCheckBox* authentication_box_ = nullptr;
    QLineEdit* user_edit_ = nullptr;
    QLineEdit* password_edit_ = nullptr;
    QPushButton* add_button_ = nullptr;
};

// "Select folder": the chosen folder with a '/' at its end, or empty when cancelled.
QString choose_folder(QWidget* owner);

}  // namespace rg
