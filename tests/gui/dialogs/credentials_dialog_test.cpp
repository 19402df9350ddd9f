#include <QCheckBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "engine/credentials.h"
#include "modal.h"
#include "protocols/base64.h"
#include "settings/ini_store.h"
#include "settings/ui/credentials_dialog.h"
#include "support/controller_harness.h"

namespace rg::test {

namespace {

std::string encoded(std::string_view plain) {
    return base64_encode_text(plain, 200).value_or("");
}

}  // namespace

class CredentialsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        harness_ = std::make_unique<ControllerHarness>();
        QVERIFY(harness_->start());
        first_ = harness_->add("http://one.example/a.bin", "a.bin", true);
        second_ = harness_->add("http://two.example/b.bin", "b.bin", true);
    }

    void cleanup() {
        first_.reset();
        second_.reset();
        harness_.reset();
    }

    void hasTheDialogsControls() {
        CredentialsDialog dialog(harness_->host, {first_.get()}, harness_->passwords);
        QCOMPARE(dialog.windowTitle(), QString("Set UserName and Password"));
        QCOMPARE(dialog.remember_box()->text(), QString("Always use these data for that server"));
        QVERIFY(!dialog.remember_box()->isChecked());
        QCOMPARE(dialog.user_edit()->maxLength(), 79);
        QCOMPARE(dialog.password_edit()->maxLength(), 79);
        QCOMPARE(dialog.password_edit()->echoMode(), QLineEdit::Password);
        auto* form = dialog.findChild<QFormLayout*>();
        QVERIFY(form);
        auto* user_label = qobject_cast<QLabel*>(form->labelForField(dialog.user_edit()));
        QVERIFY(user_label);
        QCOMPARE(user_label->text(), QString("UserName : "));
    }

    void theFieldsTakeNoMoreThanIsStored() {
        // The engine reads 79 bytes of each field: typing stops there, and never inside a
        // character, so the stored password is the typed one.
        CredentialsDialog dialog(harness_->host, {first_.get()}, harness_->passwords);
        dialog.show();
        QTest::keyClicks(dialog.user_edit(), QString(85, QChar('u')));
        QCOMPARE(dialog.user_edit()->text(), QString(79, QChar('u')));
        const QString accented(50, QChar(0x00e9));
        for (const QChar letter : accented) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(letter));
            QApplication::sendEvent(dialog.password_edit(), &key);
        }
        QCOMPARE(dialog.password_edit()->text(), accented.left(39));
        dialog.accept();
        QCOMPARE(item_credentials(*first_)->password, encoded(accented.left(39).toStdString()));
    }

    void okStoresIntoEverySelectedDownloadAndRemembersTheServers() {
        CredentialsDialog dialog(harness_->host, {first_.get(), second_.get()},
                                 harness_->passwords);
        QTest::keyClicks(dialog.user_edit(), "bob");
        QTest::keyClicks(dialog.password_edit(), "secret");
        dialog.remember_box()->click();
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        for (const auto& item : {first_, second_}) {
            const auto credentials = item_credentials(*item);
            QVERIFY(credentials);
            QCOMPARE(credentials->user_name, encoded("bob"));
            QCOMPARE(credentials->password, encoded("secret"));
        }
        QVERIFY(harness_->passwords.find("http://one.example/other"));
        QVERIFY(harness_->passwords.find("http://two.example/other"));
    }

    void aServerThatCannotBeRememberedIsReported() {
        // The settings file cannot be written: the server is remembered for this run only.
        IniStore unwritable(harness_->dir.file("missing-folder/rlg.ini"));
        SitePasswordList passwords(unwritable);
        passwords.load();
        CredentialsDialog remembering(harness_->host, {first_.get()}, passwords);
        remembering.user_edit()->setText("bob");
        remembering.remember_box()->click();
        remembering.accept();
        QVERIFY(!remembering.applied().remembered);
        QVERIFY(item_credentials(*first_));

        QCOMPARE(remembering.result(), int(QDialog::Accepted));
        const auto told = harness_->host.message_list();
        QCOMPARE(told.size(), std::size_t{1});
        QCOMPARE(told[0].caption, std::string("Error"));
        QVERIFY(told[0].text.find("could not be written") != std::string::npos);
    }

    void emptyFieldsAreConfirmedBeforeClearing() {
        set_item_credentials(*first_, {encoded("old"), encoded("old")});
        CredentialsDialog dialog(harness_->host, {first_.get()}, harness_->passwords);
        dialog.show();

        harness_->host.answers.push_back(MessageAnswer::No);
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.answer());
        QVERIFY(item_credentials(*first_));
        const auto asked = harness_->host.message_list();
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].text,
                 std::string("Are you Sure you want to Clear Username and Password"));
        QCOMPARE(asked[0].caption, std::string("Empty Fields"));
        QCOMPARE(asked[0].buttons, MessageButtons::YesNo);
        QCOMPARE(asked[0].icon, MessageIcon::Question);

        harness_->host.answers.push_back(MessageAnswer::Yes);
        dialog.accept();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!item_credentials(*first_));
    }

    void theWorkersPromptOnlyAnswers() {
        CredentialsDialog dialog(harness_->host);
        QTest::keyClicks(dialog.user_edit(), "ann");
        QTest::keyClicks(dialog.password_edit(), "pw");
        dialog.remember_box()->click();
        dialog.accept();
        QVERIFY(dialog.answer());
        QCOMPARE(dialog.answer()->user_name, std::string("ann"));
        QCOMPARE(dialog.answer()->password, std::string("pw"));
        QVERIFY(dialog.answer()->remember);
        // The controller stores the answer; the dialog itself stored nothing.
        QVERIFY(!harness_->passwords.find("http://one.example/a.bin"));
        QVERIFY(!item_credentials(*first_));
    }

  private:
    std::unique_ptr<ControllerHarness> harness_;
    DownloadList::ItemPtr first_;
    DownloadList::ItemPtr second_;
};

RG_DIALOG_SUITE(CredentialsDialogTest);

}  // namespace rg::test

#include "credentials_dialog_test.moc"
