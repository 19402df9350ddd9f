#pragma once

#include <QDialog>

#include "engine/schedule.h"

class QCheckBox;
class QComboBox;
class QTimeEdit;

namespace rg {

class Controller;

// Dialog 146 "Scheduling": the start and stop times of automatic downloading and the action when
// it is done, over the controller's values. The boxes open unchecked whatever is armed; "OK"
// hands the dialog's values to the controller, "Cancel" changes nothing.
class SchedulingDialog : public QDialog {
    Q_OBJECT

  public:
    explicit SchedulingDialog(Controller& controller, QWidget* parent = nullptr);

    // What the controls show now.
    SchedulingDialogValues values() const;

    QCheckBox* start_box() const { return start_box_; }
    QTimeEdit* start_time() const { return start_time_; }
    QCheckBox* stop_box() const { return stop_box_; }
    QTimeEdit* stop_time() const { return stop_time_; }
    QComboBox* when_done() const { return when_done_; }

    void accept() override;

  private:
    Controller& controller_;
    QCheckBox* start_box_ = nullptr;
    QTimeEdit* start_time_ = nullptr;
    QCheckBox* stop_box_ = nullptr;
    QTimeEdit* stop_time_ = nullptr;
    QComboBox* when_done_ = nullptr;
};

}  // namespace rg
