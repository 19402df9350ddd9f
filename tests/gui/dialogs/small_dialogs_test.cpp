#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "modal.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/dialogs/last_response_dialog.h"

namespace rg::test {

class SmallDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void lastResponseShowsTheHeadersAndCopiesThemWhole() {
        std::string headers = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n";
        // Longer than the fixed buffer that once cut the copy.
        headers += "X-Long: " + std::string(3000, 'x') + "\r\n";
        LastResponseDialog dialog(headers);
        QCOMPARE(dialog.windowTitle(), QString("Last Response"));
        QCOMPARE(dialog.copy_button()->text(), QString("Copy &All"));
        QVERIFY(dialog.close_button()->isDefault());
        QVERIFY(dialog.text_edit()->isReadOnly());
        const QString shown = dialog.text_edit()->toPlainText();
        QVERIFY(shown.startsWith("HTTP/1.1 200 OK\nContent-Length: 5\n"));

        QGuiApplication::clipboard()->clear();
        dialog.copy_button()->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), shown);
        QVERIFY(QGuiApplication::clipboard()->text().size() > 3000);

        dialog.show();
        dialog.close_button()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }

    void aboutNamesTheProgramAndClosesWithOk() {
        AboutDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("About"));
        bool named = false;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            named = named || label->text() == "Reelgrab v 1.1";
        QVERIFY(named);
        auto* ok = dialog.findChild<QPushButton*>();
        QVERIFY(ok);
        QCOMPARE(ok->text(), QString("OK"));
        dialog.show();
        ok->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

RG_DIALOG_SUITE(SmallDialogsTest);

}  // namespace rg::test

#include "small_dialogs_test.moc"
