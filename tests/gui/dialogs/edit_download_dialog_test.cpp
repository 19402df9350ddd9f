#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "modal.h"
#include "shell/dialogs/edit_download_dialog.h"
#include "support/controller_harness.h"

namespace rg::test {

namespace {

constexpr std::int32_t kTotal = 1000;

// A harness with one stopped item holding the ranges 0-99 and 200-249.
struct HeldItem {
    ControllerHarness harness;
    DownloadList::ItemPtr item;

    HeldItem() {
        harness.start();
        item = harness.add("http://127.0.0.1/file.bin", "file.bin", true);
        auto data = item->lock();
        data->saved.total_size = kTotal;
        data->ranges.add(0, 100);
        data->ranges.add(200, 50);
        data->saved.range_count = 2;
        data->saved.downloaded = 150;
        data->saved.resume_count = 3;
    }

    InfoWindow& info() { return harness.controller->info_window(); }
};

QStringList rows(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

}  // namespace

class EditDownloadDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void showsTheItemsRangesAndStatistics() {
        HeldItem held;
        QCOMPARE(held.harness.controller->open_info_window(0), InfoWindow::OpenResult::Opened);
        EditDownloadDialog dialog(held.info());
        QCOMPARE(dialog.windowTitle(), QString("Edit Download Data (Advanced)"));
        QCOMPARE(dialog.url_edit()->text(), QString("http://127.0.0.1/file.bin"));
        QCOMPARE(dialog.path_edit()->text(), QString::fromStdString(held.item->local_path()));
        QVERIFY(dialog.path_edit()->isReadOnly());
        QCOMPARE(rows(dialog.range_list()),
                 QStringList({"0 : 99 (100 bytes)", "200 : 249 (50 bytes)"}));
        QCOMPARE(dialog.range_list()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(dialog.size_label()->text(), QString("Size: 1000 bytes"));
        QCOMPARE(dialog.resumed_label()->text(), QString("Resumed: 3 Times"));
        QCOMPARE(dialog.range_count_label()->text(), QString("Range Count: 2"));
        QVERIFY(dialog.finished_label()->text().startsWith("Finished: "));
        QVERIFY(dialog.close_button()->isDefault());
        QCOMPARE(held.item->state.load(), ItemState::InfoHeld);
    }

    void deletesSelectedRangesOnlyOnOkAndClearsAll() {
        HeldItem held;
        held.harness.controller->open_info_window(0);
        EditDownloadDialog dialog(held.info());
        dialog.range_list()->item(0)->setSelected(true);

        held.harness.host.answers.push_back(MessageAnswer::Cancel);
        dialog.delete_button()->click();
        QCOMPARE(dialog.range_list()->count(), 2);

        held.harness.host.answers.push_back(MessageAnswer::Ok);
        dialog.delete_button()->click();
        QCOMPARE(rows(dialog.range_list()), QStringList({"200 : 249 (50 bytes)"}));
        QCOMPARE(dialog.range_count_label()->text(), QString("Range Count: 1"));
        QCOMPARE(held.item->downloaded(), 50);
        const auto messages = held.harness.host.message_list();
        QCOMPARE(messages.size(), std::size_t{2});
        QCOMPARE(messages[0].caption, std::string("Delete Range"));

        // Without a selection nothing is asked.
        dialog.range_list()->clearSelection();
        dialog.delete_button()->click();
        QCOMPARE(held.harness.host.message_list().size(), std::size_t{2});

        held.harness.host.answers.push_back(MessageAnswer::Ok);
        dialog.clear_button()->click();
        QCOMPARE(dialog.range_list()->count(), 0);
        QCOMPARE(dialog.range_count_label()->text(), QString("Range Count: 0"));
        QCOMPARE(held.harness.host.message_list().back().caption, std::string("Clear Download"));
    }

    void closeStoresTheEditedUrlAndStopsTheItem() {
        HeldItem held;
        held.item->lock()->validator = "\"old-tag\"";
        held.harness.controller->open_info_window(0);
        QPointer<EditDownloadDialog> dialog = new EditDownloadDialog(held.info());
        dialog->show();
        dialog->url_edit()->selectAll();
        QTest::keyClicks(dialog->url_edit(), "http://127.0.0.1/moved.bin");
        dialog->close_button()->click();
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(!held.info().is_open());
        QCOMPARE(held.item->url(), std::string("http://127.0.0.1/moved.bin"));
        QCOMPARE(held.item->state.load(), ItemState::Stopped);
        // A change of address: the old validator is gone and the kept bytes wait for an answer
        // of the same size.
        QVERIFY(held.item->lock()->validator.empty());
        QVERIFY(held.item->lock()->address_changed);
    }

    void escapeClosesLikeClose() {
        HeldItem held;
        held.harness.controller->open_info_window(0);
        QPointer<EditDownloadDialog> dialog = new EditDownloadDialog(held.info());
        dialog->show();
        dialog->url_edit()->setFocus();
        dialog->url_edit()->selectAll();
        QTest::keyClicks(dialog->url_edit(), "http://127.0.0.1/esc.bin");
        QTest::keyClick(dialog->url_edit(), Qt::Key_Escape);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(held.item->url(), std::string("http://127.0.0.1/esc.bin"));
        QCOMPARE(held.item->state.load(), ItemState::Stopped);
    }

    void closingTheInfoWindowFromTheControllerClosesTheDialog() {
        HeldItem held;
        held.harness.controller->open_info_window(0);
        QPointer<EditDownloadDialog> dialog = new EditDownloadDialog(held.info());
        dialog->show();
        dialog->url_edit()->selectAll();
        QTest::keyClicks(dialog->url_edit(), "http://127.0.0.1/kept.bin");
        held.info().close();
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(held.item->url(), std::string("http://127.0.0.1/kept.bin"));
        QCOMPARE(held.item->state.load(), ItemState::Stopped);
        // The next opening gets a dialog of its own.
        QCOMPARE(held.harness.controller->open_info_window(0), InfoWindow::OpenResult::Opened);
    }

    void aClosedDialogNeverTouchesTheNextOpening() {
        HeldItem held;
        held.harness.add("http://127.0.0.1/other.bin", "other.bin", true);
        held.harness.controller->open_info_window(0);
        auto* first = new EditDownloadDialog(held.info());
        first->show();
        first->close_button()->click();
        // The first dialog is deleted only later; meanwhile the window opens for another row.
        QCOMPARE(held.harness.controller->open_info_window(1), InfoWindow::OpenResult::Opened);
        QPointer<EditDownloadDialog> second = new EditDownloadDialog(held.info());
        second->show();
        QTest::keyClicks(first->url_edit(), "-stale");
        first->close();
        delete first;
        // The controller's close still reaches the second dialog.
        held.info().close();
        QTRY_VERIFY(second.isNull());
        QCOMPARE(held.harness.list.item_at(1)->url(), std::string("http://127.0.0.1/other.bin"));
    }

    void movesTheLocalFile() {
        HeldItem held;
        held.harness.controller->open_info_window(0);
        EditDownloadDialog dialog(held.info());
        const std::string target = held.harness.out() + "/renamed.bin";
        held.harness.host.chosen_paths.push_back(target);
        dialog.move_button()->click();
        QCOMPARE(dialog.path_edit()->text(), QString::fromStdString(target));
        QVERIFY(std::filesystem::exists(target));
        QVERIFY(dialog.isEnabled());
    }
};

RG_DIALOG_SUITE(EditDownloadDialogTest);

}  // namespace rg::test

#include "edit_download_dialog_test.moc"
