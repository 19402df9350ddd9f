// The window with its real dialogs: a worker's credentials question (2779) answered in the dialog
// while the window stays live, and the exit prompt.
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "dialogs/modal.h"
#include "gui_fixture.h"
#include "settings/ui/credentials_dialog.h"
#include "support/fault_http_server.h"

namespace rg::test {

class WindowDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void aWorkersCredentialsQuestionIsAnsweredInTheDialog() {
        FaultHttpServer server;
        QVERIFY2(server.ok(), server.error().c_str());
        GuiHost gui_host;
        GuiFixture f({}, &gui_host);
        f.add(server.url("/gen/5000/secret.bin?auth=joe:pw"));
        f.select_rows({0});
        bool asked = false;
        when_modal<CredentialsDialog>([&](CredentialsDialog* dialog) {
            asked = true;
            // The window keeps serving while the worker waits: its timers and rows run.
            QVERIFY(f.app().pump().timer(TimerId::Repaint).isActive());
            dialog->user_edit()->setText("joe");
            dialog->password_edit()->setText("pw");
            dialog->accept();
        });
        QTest::keyClick(f.view().viewport(), Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(f.list().count(), 0, 20000);
        QVERIFY(asked);
        QCOMPARE(file_size(f.dir.file("secret.bin")), 5000);
    }

    void exitAsksInTheExitBoxAndStaysOnNo() {
        GuiHost gui_host;
        GuiFixture f("ConfirmExit=1\n", &gui_host);
        QString asked;
        when_modal<QMessageBox>([&](QMessageBox* box) {
            asked = box->text();
            box->button(QMessageBox::No)->click();
        });
        f.window().dispatch(CommandId::Exit);
        QCOMPARE(asked, QString("Are you sure you want to exit Reelgrab"));
        QVERIFY(!f.app().controller().exiting());
        when_modal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        f.window().dispatch(CommandId::TrayExit);
        QVERIFY(f.app().controller().exiting());
    }
};

}  // namespace rg::test

QTEST_MAIN(rg::test::WindowDialogsTest)
#include "window_dialogs_test.moc"
