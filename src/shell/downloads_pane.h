#pragma once

#include <QLineEdit>
#include <QListView>
#include <QWidget>

#include "shell/image_button.h"

namespace rg {

class DownloadListModel;

// The list view of the Downloads pane: double-click and right-click follow the list's own
// selection rule (an unselected row becomes the only selected one) before they act.
class DownloadListView : public QListView {
    Q_OBJECT
  public:
    explicit DownloadListView(QWidget* parent = nullptr);

  signals:
    // A double click on a row (never below the last row).
    void row_double_clicked(int row);
    // A right click on a row, at this global position.
    void context_menu_wanted(const QPoint& global_pos);

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    // Selects only the row when it is not selected; the current row becomes it.
    void select_for_click(const QModelIndex& index);
};

// The Downloads pane: the URL edit with "&Add", the list, and "Start", "Pause" and "Cancel".
class DownloadsPane : public QWidget {
    Q_OBJECT
  public:
    explicit DownloadsPane(DownloadListModel& model, QWidget* parent = nullptr);

    QLineEdit* url_edit() const { return url_edit_; }
    DownloadListView* list() const { return list_; }
    ImageButton* add_button() const { return add_; }
    ImageButton* start_button() const { return start_; }
    ImageButton* pause_button() const { return pause_; }
    ImageButton* cancel_button() const { return cancel_; }

  signals:
    // "&Add", or Enter in the URL edit.
    void add_wanted(const QString& text);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void lay_out();

    QLineEdit* url_edit_;
    ImageButton* add_;
    DownloadListView* list_;
    ImageButton* start_;
    ImageButton* pause_;
    ImageButton* cancel_;
};

}  // namespace rg
