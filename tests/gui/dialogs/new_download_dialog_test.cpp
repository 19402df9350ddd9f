#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>

#include "engine/credentials.h"
#include "intake/ui/new_download_dialog.h"
#include "modal.h"
#include "protocols/base64.h"
#include "settings/ini_store.h"
#include "settings/site_passwords.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg::test {

namespace {

// The parts add_download works on, in a scratch folder, counting the list's saves.
struct Intake {
    TempDir dir;
    RecordingHost host;
    DownloadList list;
    SettingsStore settings;
    IniStore ini{dir.file("rlg.ini")};
    SitePasswordList passwords{ini};
    int saves = 0;
    AddContext context{list,
                       settings,
                       passwords,
                       host,
                       [this] {
                           ++saves;
                           return true;
                       },
                       {}};

    QString folder() const { return QString::fromStdString(dir.path()) + "/"; }
};

std::string encoded(std::string_view plain) {
    return base64_encode_text(plain, 200).value_or("");
}

}  // namespace

class NewDownloadDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { NewDownloadDialog::set_remembered_folder(initial_folder_); }

    void initTestCase() { initial_folder_ = NewDownloadDialog::remembered_folder(); }

    void opensInTheUsersDownloadFolderWithItsDefaults() {
        QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        QVERIFY(!downloads.isEmpty());
        QCOMPARE(initial_folder_, downloads + "/");

        Intake intake;
        NewDownloadDialog dialog(intake.context);
        QCOMPARE(dialog.windowTitle(), QString("New Download"));
        QCOMPARE(dialog.folder_edit()->text(), downloads + "/");
        QVERIFY(dialog.folder_edit()->isReadOnly());
        QVERIFY(dialog.scheduled_box()->isChecked());
        QCOMPARE(dialog.scheduled_box()->text(), QString("Scheduled Download"));
        QVERIFY(!dialog.authentication_box()->isChecked());
        QCOMPARE(dialog.authentication_box()->text(), QString("Authentication Required"));
        QVERIFY(!dialog.user_edit()->isEnabled());
        QVERIFY(!dialog.password_edit()->isEnabled());
        QCOMPARE(dialog.user_edit()->maxLength(), 79);
        QCOMPARE(dialog.password_edit()->maxLength(), 79);
        QCOMPARE(dialog.password_edit()->echoMode(), QLineEdit::Password);
        QVERIFY(dialog.add_button()->isDefault());

        dialog.authentication_box()->click();
        QVERIFY(dialog.user_edit()->isEnabled());
        QVERIFY(dialog.password_edit()->isEnabled());
        dialog.authentication_box()->click();
        QVERIFY(!dialog.user_edit()->isEnabled());
    }

    void tabWalksTheControlsInTheirOrder() {
        Intake intake;
        NewDownloadDialog dialog(intake.context);
        dialog.authentication_box()->click();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.activateWindow();
        dialog.url_box()->setFocus();
        QList<QWidget*> visited{QApplication::focusWidget()};
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        const QList<QWidget*> expected{
            dialog.url_box(),       dialog.folder_edit(),        dialog.browse_button(),
            dialog.scheduled_box(), dialog.authentication_box(), dialog.user_edit(),
            dialog.password_edit(), dialog.add_button()};
        QCOMPARE(visited.mid(0, expected.size()), expected);
        QCOMPARE(visited.last()->property("text").toString(), QString("Cancel"));
    }

    void enterInTheUrlBoxBreaksTheLineInsteadOfAdding() {
        Intake intake;
        NewDownloadDialog dialog(intake.context);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.url_box()->setFocus();
        QTest::keyClicks(dialog.url_box(), "http://h/a");
        QTest::keyClick(dialog.url_box(), Qt::Key_Return);
        QTest::keyClicks(dialog.url_box(), "http://h/b");
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.url_box()->toPlainText(), QString("http://h/a\nhttp://h/b"));
        QCOMPARE(intake.list.count(), 0);
    }

    void addsEveryLineSkipsAListedOneAndSavesOnce() {
        Intake intake;
        AddRequest first;
        first.folder = intake.dir.path();
        first.url = "http://127.0.0.1/two.bin";
        QCOMPARE(add_download(intake.context, first).status, AddStatus::kAdded);
        intake.saves = 0;

        NewDownloadDialog::set_remembered_folder(intake.folder());
        NewDownloadDialog dialog(intake.context);
        dialog.set_urls(
            {"http://127.0.0.1/one.bin", "http://127.0.0.1/two.bin", "http://127.0.0.1/three.bin"});
        dialog.add_button()->click();

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.outcome().added, std::size_t{2});
        QCOMPARE(dialog.outcome().refused, std::size_t{1});
        QCOMPARE(intake.list.count(), 3);
        const auto messages = intake.host.message_list();
        QCOMPARE(messages.size(), std::size_t{1});
        QCOMPARE(messages[0].text, std::string("Url is already in the List."));
        QCOMPARE(intake.saves, 1);
        for (int row = 1; row < 3; ++row) {
            DownloadItem* item = intake.list.item_at(row);
            QCOMPARE(item->lock()->saved.scheduled, 1);
            QVERIFY(std::filesystem::exists(item->local_path()));
            QCOMPARE(item->local_path().rfind(intake.dir.path(), 0), std::size_t{0});
        }
        QCOMPARE(intake.list.item_at(1)->file_name(), std::string("one.bin"));
        QCOMPARE(intake.list.item_at(2)->file_name(), std::string("three.bin"));
    }

    void expandsSeriesAndKeepsTheScheduledChoice() {
        Intake intake;
        NewDownloadDialog::set_remembered_folder(intake.folder());
        NewDownloadDialog dialog(intake.context);
        dialog.set_urls({"http://127.0.0.1/pic[1-3].jpg"});
        dialog.scheduled_box()->click();
        dialog.add_button()->click();
        QCOMPARE(intake.list.count(), 3);
        QCOMPARE(intake.list.item_at(2)->url(), std::string("http://127.0.0.1/pic3.jpg"));
        QCOMPARE(intake.list.item_at(0)->lock()->saved.scheduled, 0);
    }

    void reportsSeriesLinesOverTheLimits() {
        Intake intake;
        NewDownloadDialog::set_remembered_folder(intake.folder());
        NewDownloadDialog dialog(intake.context);
        dialog.set_urls({"http://127.0.0.1/a[1-200000].jpg", "http://127.0.0.1/b.jpg"});
        dialog.add_button()->click();
        QCOMPARE(intake.list.count(), 1);
        QCOMPARE(dialog.outcome().unexpanded.size(), std::size_t{1});
        const auto messages = intake.host.message_list();
        QCOMPARE(messages.size(), std::size_t{1});
        QVERIFY(messages[0].text.find("http://127.0.0.1/a[1-200000].jpg") != std::string::npos);
    }

    void takesCredentialsOnlyWhenAuthenticationIsTicked() {
        Intake intake;
        NewDownloadDialog::set_remembered_folder(intake.folder());
        {
            NewDownloadDialog dialog(intake.context);
            dialog.set_urls({"http://127.0.0.1/plain.bin"});
            dialog.user_edit()->setText("ignored");
            dialog.password_edit()->setText("ignored");
            dialog.add_button()->click();
        }
        {
            NewDownloadDialog dialog(intake.context);
            dialog.set_urls({"http://127.0.0.1/secret.bin"});
            dialog.authentication_box()->click();
            QTest::keyClicks(dialog.user_edit(), "bob");
            QTest::keyClicks(dialog.password_edit(), "pw");
            dialog.add_button()->click();
        }
        QCOMPARE(intake.list.count(), 2);
        QVERIFY(!item_credentials(*intake.list.item_at(0)));
        const auto credentials = item_credentials(*intake.list.item_at(1));
        QVERIFY(credentials);
        QCOMPARE(credentials->user_name, encoded("bob"));
        QCOMPARE(credentials->password, encoded("pw"));
    }

    void anEmptyBoxClosesAndKeepsTheRememberedFolder() {
        Intake intake;
        NewDownloadDialog::set_remembered_folder(intake.folder());
        NewDownloadDialog dialog(intake.context);
        dialog.browse_folder = [](QWidget*) { return QString("/elsewhere/"); };
        dialog.browse_button()->click();
        QCOMPARE(dialog.folder_edit()->text(), QString("/elsewhere/"));
        dialog.add_button()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(intake.list.count(), 0);
        QCOMPARE(intake.saves, 0);
        QCOMPARE(NewDownloadDialog::remembered_folder(), intake.folder());
    }

    void addRemembersTheFolderAndCancelAddsNothing() {
        Intake intake;
        NewDownloadDialog::set_remembered_folder("/unused/");
        {
            NewDownloadDialog dialog(intake.context);
            dialog.set_urls({"http://127.0.0.1/x.bin"});
            dialog.browse_folder = [&](QWidget*) { return intake.folder(); };
            dialog.browse_button()->click();
            dialog.reject();
            QCOMPARE(intake.list.count(), 0);
            QCOMPARE(NewDownloadDialog::remembered_folder(), QString("/unused/"));
        }
        {
            NewDownloadDialog dialog(intake.context);
            dialog.set_urls({"http://127.0.0.1/x.bin"});
            dialog.browse_folder = [&](QWidget*) { return intake.folder(); };
            dialog.browse_button()->click();
            dialog.add_button()->click();
        }
        QCOMPARE(intake.list.count(), 1);
        QCOMPARE(NewDownloadDialog::remembered_folder(), intake.folder());
        NewDownloadDialog again(intake.context);
        QCOMPARE(again.folder_edit()->text(), intake.folder());
    }

    void aCancelledPickerEmptiesTheFolderAndEveryUrlGoesToTheChooser() {
        Intake intake;
        NewDownloadDialog::set_remembered_folder(intake.folder());
        NewDownloadDialog dialog(intake.context);
        dialog.browse_folder = [](QWidget*) { return QString(); };
        dialog.browse_button()->click();
        QVERIFY(dialog.folder_edit()->text().isEmpty());
        dialog.set_urls({"http://127.0.0.1/c1.bin", "http://127.0.0.1/c2.bin"});
        intake.host.chosen_paths.push_back(intake.dir.file("chosen.bin"));
        dialog.add_button()->click();
        // The second chooser is cancelled: that URL ends without a "rename.me" retry.
        QCOMPARE(intake.host.proposed_paths.size(), std::size_t{2});
        QCOMPARE(intake.list.count(), 1);
        QCOMPARE(intake.list.item_at(0)->local_path(), intake.dir.file("chosen.bin"));
    }

  private:
    QString initial_folder_;
};

RG_DIALOG_SUITE(NewDownloadDialogTest);

}  // namespace rg::test

#include "new_download_dialog_test.moc"
