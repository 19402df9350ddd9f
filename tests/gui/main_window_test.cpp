// The main window driven by keys and clicks on the offscreen platform, with downloads from the
// fault-injecting test server on 127.0.0.1.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <thread>

#include "engine/command_ids.h"
#include "gui_fixture.h"
#include "support/fault_http_server.h"

namespace rg::test {

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    static constexpr int kDownloadWaitMs = 20000;

    QAction* action(GuiFixture& f, CommandId id) { return f.window().menu()->action(id); }
    void key(GuiFixture& f, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(f.view().viewport(), static_cast<Qt::Key>(key), mods);
    }

  private slots:
    void enterInTheUrlEditAddsTheDownload() {
        GuiFixture f;
        const std::string target = f.dir.file("typed.zip");
        f.host.chosen_paths.push_back(target);
        QLineEdit* edit = f.window().downloads_pane()->url_edit();
        edit->setFocus();
        QTest::keyClicks(edit, "http://127.0.0.1:9/files/typed.zip");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(f.list().count(), 1);
        QCOMPARE(f.row_names(), std::vector<std::string>{"typed.zip"});
        QCOMPARE(QString::fromStdString(f.list().item_at(0)->local_path()),
                 QString::fromStdString(target));
    }

    void f5AndDoubleClickStartDownloadsThatFinishAndLeave() {
        FaultHttpServer server;
        QVERIFY2(server.ok(), server.error().c_str());
        GuiFixture f;
        f.add(server.url("/gen/30000/one.bin"));
        f.add(server.url("/gen/20000/two.bin"));
        f.select_rows({0});
        key(f, Qt::Key_F5);
        // The worker's 2776 reaches the window without polling: the row leaves.
        QTRY_COMPARE_WITH_TIMEOUT(f.row_names(), std::vector<std::string>{"two.bin"},
                                  kDownloadWaitMs);
        QCOMPARE(file_size(f.dir.file("one.bin")), 30000);

        QTest::mouseDClick(f.view().viewport(), Qt::LeftButton, {}, f.row_centre(0));
        QTRY_COMPARE_WITH_TIMEOUT(f.list().count(), 0, kDownloadWaitMs);
        QCOMPARE(file_size(f.dir.file("two.bin")), 20000);

        // Double-clicking below the last row starts nothing.
        f.add(server.url("/gen/100/three.bin"));
        QTest::mouseDClick(f.view().viewport(), Qt::LeftButton, {},
                           QPoint(10, f.view().viewport()->height() - 3));
        QCOMPARE(f.list().item_at(0)->state.load(), ItemState::Stopped);
        QCOMPARE(f.app().controller().running_workers(), 0u);
    }

    void ctrlF5PausesAndDelCancelsAfterThePrompt() {
        FaultHttpServer server;
        QVERIFY2(server.ok(), server.error().c_str());
        GuiFixture f("CancelPrompt=1\n");
        DownloadItem& item = f.add(server.url("/gen/200000/slow.bin?stall_after=50000"));
        f.select_rows({0});
        key(f, Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(item.downloaded(), 50000, kDownloadWaitMs);
        QVERIFY(!action(f, CommandId::Start)->isEnabled());
        QVERIFY(action(f, CommandId::Pause)->isEnabled());

        key(f, Qt::Key_F5, Qt::ControlModifier);
        QTRY_COMPARE(item.state.load(), ItemState::Stopped);
        QTRY_COMPARE(QString::fromStdString(item.status_text()), QString("User Paused"));
        QTRY_VERIFY(action(f, CommandId::Start)->isEnabled());

        // Del asks once; No keeps the file and removes the row.
        f.host.answers.push_back(MessageAnswer::No);
        key(f, Qt::Key_Delete);
        QCOMPARE(f.host.message_list().size(), 1u);
        QCOMPARE(f.list().count(), 0);
        QCOMPARE(f.view().model()->rowCount(), 0);
        QCOMPARE(file_size(f.dir.file("slow.bin")), 50000);
    }

    void commandStatesFollowZeroOneAndTwoSelectedRows() {
        GuiFixture f;
        f.add("http://127.0.0.1:9/a.zip");
        f.add("http://127.0.0.1:9/b.zip");
        const CommandId need_any[] = {CommandId::Cancel, CommandId::CopyUrl, CommandId::MoveUp,
                                      CommandId::Start, CommandId::Pause};
        for (CommandId id : need_any)
            QVERIFY(!action(f, id)->isEnabled());
        QVERIFY(!f.window().downloads_pane()->cancel_button()->isEnabled());

        QTest::mouseClick(f.view().viewport(), Qt::LeftButton, {}, f.row_centre(0));
        QVERIFY(action(f, CommandId::Start)->isEnabled());
        QVERIFY(!action(f, CommandId::Pause)->isEnabled());
        QVERIFY(action(f, CommandId::AdvancedInformation)->isEnabled());
        QVERIFY(!action(f, CommandId::Scheduled)->isChecked());
        QVERIFY(f.window().downloads_pane()->start_button()->isEnabled());
        QVERIFY(!f.window().downloads_pane()->pause_button()->isEnabled());

        QTest::mouseClick(f.view().viewport(), Qt::LeftButton, Qt::ControlModifier,
                          f.row_centre(1));
        QCOMPARE(f.view().selectionModel()->selectedRows().size(), 2);
        QVERIFY(action(f, CommandId::Start)->isEnabled());
        QVERIFY(action(f, CommandId::Pause)->isEnabled());
        QVERIFY(!action(f, CommandId::AdvancedInformation)->isEnabled());
        QVERIFY(!action(f, CommandId::ChangeLocalFilename)->isEnabled());
        QVERIFY(!action(f, CommandId::Scheduled)->isChecked());
        QVERIFY(f.window().downloads_pane()->pause_button()->isEnabled());

        // The toggles act on the selection; the check mark follows for one row.
        key(f, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.view().selectionModel()->selectedRows().size(), 0);
        f.select_rows({1});
        action(f, CommandId::Scheduled)->trigger();
        QVERIFY(action(f, CommandId::Scheduled)->isChecked());
        QCOMPARE(f.list().item_at(1)->lock()->saved.scheduled, 1);
        QCOMPARE(f.list().item_at(0)->lock()->saved.scheduled, 0);
    }

    void rightClickSelectsByTheListRuleAndOpensTheDownloadMenu() {
        GuiFixture f;
        for (const char* name : {"a", "b", "c"})
            f.add(std::string("http://127.0.0.1:9/") + name + ".zip");
        f.select_rows({0, 1});
        QMenu* shown = nullptr;
        auto close_menu = [&] {
            shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (shown)
                shown->close();
        };
        // A row of the selection keeps the selection.
        QTimer::singleShot(0, close_menu);
        QTest::mouseClick(f.view().viewport(), Qt::RightButton, {}, f.row_centre(1));
        QCOMPARE(shown, f.window().menu()->download_menu());
        QCOMPARE(f.view().selectionModel()->selectedRows().size(), 2);
        QVERIFY(!action(f, CommandId::AdvancedInformation)->isEnabled());
        // An unselected row becomes the only one.
        shown = nullptr;
        QTimer::singleShot(0, close_menu);
        QTest::mouseClick(f.view().viewport(), Qt::RightButton, {}, f.row_centre(2));
        QVERIFY(shown != nullptr);
        QCOMPARE(f.view().selectionModel()->selectedRows().size(), 1);
        QCOMPARE(f.view().currentIndex().row(), 2);
        QVERIFY(action(f, CommandId::AdvancedInformation)->isEnabled());
    }

    void reorderKeepsRowsAndSelectionWithTheirItems() {
        GuiFixture f;
        for (const char* name : {"r0", "r1", "r2", "r3"})
            f.add(std::string("http://127.0.0.1:9/") + name + ".zip");
        f.select_rows({0, 2});
        key(f, Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(f.row_names(), (std::vector<std::string>{"r2.zip", "r0.zip", "r1.zip", "r3.zip"}));
        QVERIFY(f.window().model()->in_step());
        QCOMPARE(f.view().selectionModel()->selectedRows().size(), 2);
        QVERIFY(f.view().selectionModel()->isRowSelected(0));
        QVERIFY(f.view().selectionModel()->isRowSelected(1));

        f.select_rows({1});
        key(f, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(f.row_names(), (std::vector<std::string>{"r2.zip", "r1.zip", "r3.zip", "r0.zip"}));
        QVERIFY(f.view().selectionModel()->isRowSelected(3));
        key(f, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(f.row_names(), (std::vector<std::string>{"r2.zip", "r1.zip", "r0.zip", "r3.zip"}));
        QCOMPARE(f.view().currentIndex().row(), 2);
    }

    void acceleratorsWinOverTheUrlEdit() {
        GuiFixture f;
        f.add("http://127.0.0.1:9/wanted.zip");
        f.select_rows({0});
        QLineEdit* edit = f.window().downloads_pane()->url_edit();
        edit->setFocus();
        QTest::keyClicks(edit, "typed text");
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("http://127.0.0.1:9/wanted.zip"));
        // Ctrl+A selects the rows, not the edit's text.
        f.select_rows({});
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f.view().selectionModel()->selectedRows().size(), 1);
        QCOMPARE(edit->selectedText(), QString());
    }

    void aCopiedUrlIsCaughtOnceAndNotWhenInTheList() {
        GuiFixture f("MonitorClipboard=1\n");
        f.add("http://127.0.0.1:9/already.zip");
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText("http://127.0.0.1:9/new-file.zip");
        QTRY_COMPARE(f.dialogs().new_download_calls.size(), 1u);
        QCOMPARE(f.dialogs().new_download_calls[0],
                 std::vector<std::string>{"http://127.0.0.1:9/new-file.zip"});
        // The same text again, an empty text, and a URL that is in the list: nothing.
        clipboard->setText("http://127.0.0.1:9/new-file.zip");
        clipboard->setText(QString());
        f.select_rows({0});
        QTest::keyClick(f.view().viewport(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QString("http://127.0.0.1:9/already.zip"));
        QTest::qWait(50);
        QCOMPARE(f.dialogs().new_download_calls.size(), 1u);
    }

    void closingGoesToTheTrayOrMinimisesWithoutOne() {
        GuiFixture f;
        f.window().tray()->set_probe([] { return true; });
        f.window().close();
        QVERIFY(!f.window().isVisible());
        QVERIFY(!f.app().controller().exiting());
        f.window().dispatch(CommandId::ShowReelgrab);
        QVERIFY(f.window().isVisible());

        // Without a tray the window stays reachable: close and F9 minimise it.
        f.window().tray()->set_probe([] { return false; });
        f.window().close();
        QVERIFY(f.window().isVisible());
        QVERIFY(f.window().isMinimized());
        f.window().show_window();
        QVERIFY(!f.window().isMinimized());
        QTest::keyClick(&f.window(), Qt::Key_F9);
        QVERIFY(f.window().isVisible());
        QVERIFY(f.window().isMinimized());
    }

    void aFirstStartShowsTheWindowThoughStartMinimizedIsOn() {
        TempDir dir;
        RecordingHost host;
        {
            GuiApp app(dir.path(), host);
            QVERIFY(app.start({}) == GuiApp::StartResult::Started);
            QVERIFY(app.window()->isVisible() && !app.window()->isMinimized());
        }
        write_file(dir.file("rlg.ini"), "[General]\nStartMinimized=1\nMonitorClipboard=0\n");
        GuiApp app(dir.path(), host);
        QVERIFY(app.start({}) == GuiApp::StartResult::Started);
        QVERIFY(!app.window()->isVisible() || app.window()->isMinimized());
    }

    void exitAsksAndEndsOnlyOnYes() {
        GuiFixture f("ConfirmExit=1\n");
        f.host.answers.push_back(MessageAnswer::No);
        f.window().dispatch(CommandId::Exit);
        QVERIFY(!f.app().controller().exiting());
        f.host.answers.push_back(MessageAnswer::Yes);
        f.window().dispatch(CommandId::TrayExit);
        QVERIFY(f.app().controller().exiting());
        QCOMPARE(f.host.message_list().back().text,
                 std::string("Are you sure you want to exit Reelgrab"));
    }

    void aSecondStartHandsItsUrlToTheFirst() {
        GuiFixture f;
        f.window().hide();
        bool answered = false;
        std::thread second([&] {
            answered = hand_to_running_copy(
                f.dir.path(), Activation{"token-1", {"http://127.0.0.1:9/x.avi"}}, 5000);
        });
        QTRY_COMPARE(f.dialogs().new_download_calls.size(), 1u);
        second.join();
        QVERIFY(answered);
        QCOMPARE(f.dialogs().new_download_calls[0],
                 std::vector<std::string>{"http://127.0.0.1:9/x.avi"});
        QVERIFY(f.window().isVisible());
        // Another folder's copy is not this one.
        QVERIFY(!hand_to_running_copy(f.dir.file("elsewhere"), Activation{}, 200));
    }

    // Every popup of the main menu and the tray menu with its items in order ("-" a separator,
    // "> title" a submenu), and the accelerators from the menu texts.
    void menusHoldEveryCommandInItsPlace() {
        GuiFixture f;
        auto layout = [](const QMenu* menu) {
            QStringList items;
            for (const QAction* a : menu->actions()) {
                if (a->isSeparator())
                    items << "-";
                else if (a->menu() != nullptr)
                    items << "> " + a->text();
                else
                    items << QString::number(a->data().toInt());
            }
            return items.join(' ');
        };
        QStringList titles;
        QStringList popups;
        for (QAction* popup : f.window().menuBar()->actions()) {
            titles << popup->text();
            popups << layout(popup->menu());
        }
        QCOMPARE(titles, (QStringList{"&File", "&Edit", "&Download", "&Montage", "&View", "&Tools",
                                      "&Help"}));
        QCOMPARE(popups[0], QString("40018 - 40057 - 40022"));
        QCOMPARE(popups[1], QString("40080 40081 40103 40104 - 40085 40082"));
        QCOMPARE(popups[2],
                 QString("40016 40017 - > C&hange Order - > O&ptions 40012 - 40013 40014 "
                         "- 40079 40070 - 40089 - 40015"));
        QCOMPARE(popups[3], QString("40059 - 40058 40073 - 40077 - 40060"));
        QCOMPARE(popups[4], QString("40049 - 40050"));
        QCOMPARE(popups[5], QString("40084"));
        QCOMPARE(popups[6], QString("40031 40105 - 40032"));
        const QMenu* download = f.window().menu()->download_menu();
        QCOMPARE(layout(download->actions()[3]->menu()), QString("40098 40099 - 40100 40101"));
        QCOMPARE(layout(download->actions()[5]->menu()), QString("40010 40011 - 40092 - 40034"));
        QCOMPARE(layout(f.window().menu()->tray_menu()), QString("40064 40056 - 40091 - 40063"));

        QCOMPARE(action(f, CommandId::Cancel)->text(), QString("&Cancel\tDel"));
        QCOMPARE(action(f, CommandId::Cancel)->shortcut(), QKeySequence(Qt::Key_Delete));
        QCOMPARE(action(f, CommandId::Pause)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
        QCOMPARE(action(f, CommandId::SelectNotFound)->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
        QCOMPARE(action(f, CommandId::SubmitFeedback)->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_F1));
        QCOMPARE(action(f, CommandId::TrayExit)->text(), QString("E&xit Reelgrab"));
        QCOMPARE(f.window().windowTitle(), QString("Reelgrab 1.1"));
    }

    void viewSwitchFollowsF2AndF3() {
        GuiFixture f;
        QTest::keyClick(&f.window(), Qt::Key_F3);
        QCOMPARE(f.window().view(), View::Montage);
        QVERIFY(!f.window().menu()->download_menu()->menuAction()->isEnabled());
        QVERIFY(f.window().menu()->montage_menu()->menuAction()->isEnabled());
        QVERIFY(action(f, CommandId::ViewMontage)->isChecked());
        QVERIFY(f.window().toolbar()->button(ToolbarButtonId::Montage)->marked());
        QTest::mouseClick(f.window().toolbar()->button(ToolbarButtonId::Downloads), Qt::LeftButton);
        QCOMPARE(f.window().view(), View::Downloads);
        QVERIFY(action(f, CommandId::ViewDownloads)->isChecked());
    }
};

}  // namespace rg::test

QTEST_MAIN(rg::test::MainWindowTest)
#include "main_window_test.moc"
