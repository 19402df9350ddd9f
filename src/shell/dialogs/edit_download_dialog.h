#pragma once

#include <QDialog>

class QCloseEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace rg {

class InfoWindow;

// Dialog 109 "Edit Download Data (Advanced)": the view of the engine's InfoWindow, which holds a
// stopped item. Opened modeless without an owner after Controller::open_info_window succeeded.
// Closing it (its "Close", the window's close button, or the controller closing the InfoWindow
// for a start of the item) stores the URL edit's text through InfoWindow::close. The dialog
// deletes itself when closed.
class EditDownloadDialog : public QDialog {
    Q_OBJECT

  public:
    explicit EditDownloadDialog(InfoWindow& info, QWidget* parent = nullptr);
    ~EditDownloadDialog() override;

    // Lists the ranges and statistics again.
    void fill();

    QLineEdit* url_edit() const { return url_edit_; }
    QLineEdit* path_edit() const { return path_edit_; }
    QListWidget* range_list() const { return range_list_; }
    QPushButton* move_button() const { return move_button_; }
    QPushButton* delete_button() const { return delete_button_; }
    QPushButton* clear_button() const { return clear_button_; }
    QPushButton* close_button() const { return close_button_; }
    QLabel* size_label() const { return size_label_; }
    QLabel* resumed_label() const { return resumed_label_; }
    QLabel* finished_label() const { return finished_label_; }
    QLabel* range_count_label() const { return range_count_label_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void delete_selected();
    void clear_all();
    void move_file();
    // Closes the InfoWindow (storing the URL) unless it is closed already.
    void finish();

    InfoWindow& info_;
    // The InfoWindow was closed for this dialog: later openings belong to other dialogs.
    bool detached_ = false;
    QLineEdit* url_edit_ = nullptr;
    QLineEdit* path_edit_ = nullptr;
    QPushButton* move_button_ = nullptr;
    QListWidget* range_list_ = nullptr;
    QPushButton* delete_button_ = nullptr;
    QPushButton* clear_button_ = nullptr;
    QLabel* size_label_ = nullptr;
    QLabel* resumed_label_ = nullptr;
    QLabel* finished_label_ = nullptr;
    QLabel* range_count_label_ = nullptr;
    QPushButton* close_button_ = nullptr;
};

}  // namespace rg
