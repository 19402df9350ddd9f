#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <thread>

#include "engine/credentials.h"
#include "modal.h"
#include "protocols/base64.h"
#include "settings/ui/credentials_dialog.h"
#include "shell/dialogs/exit_prompt.h"
#include "shell/gui_host.h"
#include "support/controller_harness.h"

namespace rg::test {

namespace {

// What one modal message box showed.
struct Shown {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
};

// Answers the next message box with `button`, noting what it showed.
void answer_box(QMessageBox::StandardButton button, Shown* shown = nullptr) {
    when_modal<QMessageBox>([button, shown](QMessageBox* box) {
        if (shown != nullptr)
            *shown = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                      box->textFormat()};
        box->button(button)->click();
    });
}

}  // namespace

class GuiHostTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        harness_ = std::make_unique<ControllerHarness>();
        QVERIFY(harness_->start());
        host_ = std::make_unique<GuiHost>();
    }

    void cleanup() {
        host_.reset();
        harness_.reset();
    }

    void showsTheExactTextCaptionButtonsAndIcon() {
        Shown shown;
        answer_box(QMessageBox::Cancel, &shown);
        const MessageAnswer answer =
            host_->message_box("WARNING: <b>two</b>\r\nlines", "Clear Download",
                               MessageButtons::OkCancel, MessageIcon::Error);
        QCOMPARE(answer, MessageAnswer::Cancel);
        QCOMPARE(shown.title, QString("Clear Download"));
        QCOMPARE(shown.text, QString("WARNING: <b>two</b>\nlines"));
        QCOMPARE(shown.format, Qt::PlainText);
        QCOMPARE(shown.icon, QMessageBox::Critical);
        QCOMPARE(shown.buttons, QMessageBox::Ok | QMessageBox::Cancel);

        answer_box(QMessageBox::Yes, &shown);
        QCOMPARE(host_->message_box("q", "Q", MessageButtons::YesNo, MessageIcon::Question),
                 MessageAnswer::Yes);
        QCOMPARE(shown.icon, QMessageBox::Question);
        QCOMPARE(shown.buttons, QMessageBox::Yes | QMessageBox::No);
    }

    void escapeOnAYesNoQuestionIsNo() {
        when_modal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(host_->message_box("q", "Q", MessageButtons::YesNo, MessageIcon::None),
                 MessageAnswer::No);
    }

    void aWorkersQuestionIsAnsweredOnTheGuiThread() {
        std::atomic<bool> done{false};
        MessageAnswer answer = MessageAnswer::Ok;
        answer_box(QMessageBox::No);
        std::thread worker([&] {
            answer = host_->message_box("rename?", "Redirect Error", MessageButtons::YesNo,
                                        MessageIcon::Question);
            done = true;
        });
        QTRY_VERIFY(done.load());
        worker.join();
        QCOMPARE(answer, MessageAnswer::No);
    }

    void aWaitingWorkerIsReleasedWhenQuestionsAreAbandoned() {
        std::atomic<bool> done{false};
        std::optional<std::string> chosen = std::string("unset");
        std::thread worker([&] {
            chosen = host_->choose_save_file("/tmp/x", {"All Files", "*.*"});
            done = true;
        });
        {
            // The GUI thread waits for the worker without serving events, as a stop of every
            // run does.
            QuestionsAbandoned abandoned(*host_);
            worker.join();
        }
        QVERIFY(done.load());
        QVERIFY(!chosen);
        // The question that was handed over is dropped, not shown later.
        QTest::qWait(50);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void theSaveChooserAnswersTheChosenPath() {
        TempDir dir;
        const QString target = QString::fromStdString(dir.file("saved.bin"));
        QString title;
        when_modal<QFileDialog>([&](QFileDialog* chooser) {
            title = chooser->windowTitle();
            chooser->selectFile(target);
            QMetaObject::invokeMethod(chooser, "accept");
        });
        const auto chosen = host_->choose_save_file(dir.file("proposed.bin"), {"All Files", "*.*"});
        QCOMPARE(title, QString("Select File to Save"));
        QVERIFY(chosen);
        QCOMPARE(QString::fromStdString(*chosen), target);
        QCOMPARE(qt_filter({"All Files", "*.*"}), QString("All Files (*)"));
    }

    void aProposalWithoutAFolderOpensWhereTheLastChoiceWasMade() {
        TempDir dir;
        QString opened_in;
        const auto choose_in = [&](const QString& target) {
            when_modal<QFileDialog>([&opened_in, target](QFileDialog* chooser) {
                opened_in = chooser->directory().absolutePath();
                chooser->selectFile(target);
                QMetaObject::invokeMethod(chooser, "accept");
            });
        };
        const QString downloads =
            QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        const QString first = QString::fromStdString(dir.file("first.bin"));
        choose_in(first);
        QVERIFY(host_->choose_save_file("name.bin", {"All Files", "*.*"}));
        QCOMPARE(opened_in, QDir(downloads).absolutePath());

        choose_in(QString::fromStdString(dir.file("second.bin")));
        QVERIFY(host_->choose_save_file("other.bin", {"All Files", "*.*"}));
        QCOMPARE(opened_in, QDir(QString::fromStdString(dir.path())).absolutePath());
    }

    void theCredentialsPromptOfAWorkerIsServedByTheController() {
        // 2779: the worker waits in the controller's queue; the controller, on the GUI thread,
        // asks through GuiHost and stores the answer.
        Controller controller(Controller::Parts{&harness_->list, nullptr, &harness_->settings,
                                                &harness_->passwords, &harness_->http,
                                                host_.get()});
        auto item = harness_->add("http://locked.example/f.bin", "f.bin", true);
        when_modal<CredentialsDialog>([](CredentialsDialog* dialog) {
            dialog->user_edit()->setText("bob");
            dialog->password_edit()->setText("pw");
            dialog->accept();
        });
        std::atomic<bool> done{false};
        bool entered = false;
        std::thread worker([&] {
            entered = controller.ask_credentials(*item);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                controller.process_messages();
                return done.load();
            }(),
            kModalWaitMs);
        worker.join();
        QVERIFY(entered);
        const auto credentials = item_credentials(*item);
        QVERIFY(credentials);
        QCOMPARE(credentials->user_name, base64_encode_text("bob", 200).value_or(""));
    }

    void theExitPromptAsksWhenConfirmExitIsOn() {
        Controller controller(Controller::Parts{&harness_->list, nullptr, &harness_->settings,
                                                &harness_->passwords, &harness_->http,
                                                host_.get()});
        harness_->settings.update([](Settings& s) { s.ConfirmExit = 1; });
        Shown shown;
        answer_box(QMessageBox::No, &shown);
        QVERIFY(!ExitPrompt::run(controller));
        QVERIFY(!controller.exiting());
        QCOMPARE(shown.title, QString("Exit"));
        QCOMPARE(shown.text, QString("Are you sure you want to exit Reelgrab"));
        QCOMPARE(shown.buttons, QMessageBox::Yes | QMessageBox::No);

        answer_box(QMessageBox::Yes);
        QVERIFY(ExitPrompt::run(controller));
        QVERIFY(controller.exiting());
    }

    void opensFilesAndReportsChangesFromAnyThread() {
        QUrl opened;
        host_->open_url = [&](const QUrl& url) {
            opened = url;
            return true;
        };
        int changes = 0;
        connect(host_.get(), &GuiHost::list_was_changed, this, [&] { ++changes; });
        std::thread worker([&] {
            host_->open_file("/tmp/done.bin");
            host_->list_changed();
        });
        worker.join();
        QTRY_COMPARE(opened, QUrl::fromLocalFile("/tmp/done.bin"));
        QTRY_COMPARE(changes, 1);
    }

  private:
    std::unique_ptr<ControllerHarness> harness_;
    std::unique_ptr<GuiHost> host_;
};

RG_DIALOG_SUITE(GuiHostTest);

}  // namespace rg::test

#include "gui_host_test.moc"
