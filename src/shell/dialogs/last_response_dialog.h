#pragma once

#include <QDialog>
#include <string_view>

class QPlainTextEdit;
class QPushButton;

namespace rg {

// Dialog 147 "Last Response": the raw header block of a download's last answer, with
// "Copy &All" (to the clipboard as text) and "Close". The caller passes a copy of the headers.
class LastResponseDialog : public QDialog {
    Q_OBJECT

  public:
    explicit LastResponseDialog(std::string_view raw_headers, QWidget* parent = nullptr);

    QPlainTextEdit* text_edit() const { return text_edit_; }
    QPushButton* copy_button() const { return copy_button_; }
    QPushButton* close_button() const { return close_button_; }

  private:
    QPlainTextEdit* text_edit_ = nullptr;
    QPushButton* copy_button_ = nullptr;
    QPushButton* close_button_ = nullptr;
};

}  // namespace rg
