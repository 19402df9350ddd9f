#include "shell/dialogs/scheduling_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "engine/controller.h"

namespace rg {

namespace {

// Hours and minutes with AM or PM, as "hh':'mm' 'tt" shows them.
const QString kTimeFormat = QStringLiteral("hh:mm AP");
constexpr int kNotSelected = -1;

// A time never set is all zero, which the picker does not take: it shows the time now.
QTime picker_time(ClockTime time) {
    if (time == ClockTime{})
        return QTime::currentTime();
    return QTime(time.hour, time.minute);
}

ClockTime clock_time(const QTime& time) {
    return {time.hour(), time.minute()};
}

}  // namespace

SchedulingDialog::SchedulingDialog(Controller& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
    setWindowTitle(QStringLiteral("Scheduling"));
    const SchedulingDialogValues shown = controller_.scheduling_dialog_values();

    start_box_ = new QCheckBox(QStringLiteral("Automatic downloading should start at :"), this);
    stop_box_ = new QCheckBox(QStringLiteral("Automatic downloading should stop at :"), this);
    start_box_->setChecked(shown.start_checked);
    stop_box_->setChecked(shown.stop_checked);
    start_time_ = new QTimeEdit(picker_time(shown.start_time), this);
    stop_time_ = new QTimeEdit(picker_time(shown.stop_time), this);
    for (QTimeEdit* picker : {start_time_, stop_time_})
        picker->setDisplayFormat(kTimeFormat);

    when_done_ = new QComboBox(this);
    for (const std::string_view text : kWhenDoneTexts)
        when_done_->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    const bool listed =
        shown.when_done >= 0 && shown.when_done < static_cast<std::int32_t>(kWhenDoneTexts.size());
    when_done_->setCurrentIndex(listed ? shown.when_done : kNotSelected);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* times = new QGridLayout;
    times->addWidget(start_box_, 0, 0);
    times->addWidget(start_time_, 0, 1);
    times->addWidget(stop_box_, 1, 0);
    times->addWidget(stop_time_, 1, 1);
    times->addWidget(when_done_, 2, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(times);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(start_box_, start_time_);
    setTabOrder(start_time_, stop_box_);
    setTabOrder(stop_box_, stop_time_);
    setTabOrder(stop_time_, when_done_);
    setTabOrder(when_done_, buttons);
}

SchedulingDialogValues SchedulingDialog::values() const {
    SchedulingDialogValues values;
    values.start_checked = start_box_->isChecked();
    values.start_time = clock_time(start_time_->time());
    values.stop_checked = stop_box_->isChecked();
    values.stop_time = clock_time(stop_time_->time());
    values.when_done = when_done_->currentIndex();
    return values;
}

void SchedulingDialog::accept() {
    controller_.apply_scheduling_dialog(values());
    QDialog::accept();
}

}  // namespace rg
