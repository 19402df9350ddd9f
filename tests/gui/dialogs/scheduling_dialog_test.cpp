#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimeEdit>

#include "modal.h"
#include "shell/dialogs/scheduling_dialog.h"
#include "support/controller_harness.h"

namespace rg::test {

class SchedulingDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        harness_ = std::make_unique<ControllerHarness>();
        QVERIFY(harness_->start());
        SchedulingDialogValues armed;
        armed.start_checked = true;
        armed.start_time = {8, 30};
        armed.stop_checked = true;
        armed.stop_time = {22, 5};
        armed.when_done = static_cast<std::int32_t>(WhenDone::Shutdown);
        harness_->controller->apply_scheduling_dialog(armed);
    }

    void cleanup() { harness_.reset(); }

    void opensWithTheStoredTimesAndTheBoxesClear() {
        SchedulingDialog dialog(*harness_->controller);
        QCOMPARE(dialog.windowTitle(), QString("Scheduling"));
        QCOMPARE(dialog.start_box()->text(), QString("Automatic downloading should start at :"));
        QCOMPARE(dialog.stop_box()->text(), QString("Automatic downloading should stop at :"));
        QVERIFY(!dialog.start_box()->isChecked());
        QVERIFY(!dialog.stop_box()->isChecked());
        QCOMPARE(dialog.start_time()->time(), QTime(8, 30));
        QCOMPARE(dialog.stop_time()->time(), QTime(22, 5));
        QCOMPARE(dialog.stop_time()->text(), QString("10:05 PM"));
        QCOMPARE(dialog.when_done()->count(), 7);
        QCOMPARE(dialog.when_done()->itemText(0), QString("Do Nothing"));
        QCOMPARE(dialog.when_done()->itemText(6), QString("Restart (Rough)"));
        QCOMPARE(dialog.when_done()->currentText(), QString("Shutdown PC"));
    }

    void okWithoutTickingDisarmsBothTimes() {
        SchedulingDialog dialog(*harness_->controller);
        dialog.accept();
        const Schedule& schedule = harness_->controller->schedule();
        QVERIFY(!schedule.start_enabled);
        QVERIFY(!schedule.stop_enabled);
        QCOMPARE(schedule.when_done, static_cast<std::int32_t>(WhenDone::Shutdown));
    }

    void okArmsTheTickedTimeWithTheChosenAction() {
        SchedulingDialog dialog(*harness_->controller);
        dialog.start_box()->click();
        dialog.start_time()->setTime(QTime(9, 15));
        dialog.when_done()->setCurrentIndex(static_cast<int>(WhenDone::CloseReelgrab));
        dialog.accept();
        const Schedule& schedule = harness_->controller->schedule();
        QVERIFY(schedule.start_enabled);
        QCOMPARE(schedule.start_time, (ClockTime{9, 15}));
        QVERIFY(!schedule.stop_enabled);
        QCOMPARE(schedule.when_done, static_cast<std::int32_t>(WhenDone::CloseReelgrab));
    }

    void cancelChangesNothing() {
        SchedulingDialog dialog(*harness_->controller);
        dialog.start_box()->click();
        dialog.start_time()->setTime(QTime(1, 1));
        dialog.when_done()->setCurrentIndex(0);
        dialog.reject();
        const Schedule& schedule = harness_->controller->schedule();
        QVERIFY(schedule.start_enabled);
        QCOMPARE(schedule.start_time, (ClockTime{8, 30}));
        QCOMPARE(schedule.when_done, static_cast<std::int32_t>(WhenDone::Shutdown));
    }

  private:
    std::unique_ptr<ControllerHarness> harness_;
};

RG_DIALOG_SUITE(SchedulingDialogTest);

}  // namespace rg::test

#include "scheduling_dialog_test.moc"
