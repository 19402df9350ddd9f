// Writes a PNG of every dialog of the window into the folder given, for looking at their layout:
// `dialog_screenshots DIR` (scripts/dialog-screenshots runs it on the offscreen platform).
#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QTest>
#include <cstdio>
#include <memory>

#include "engine/credentials_dialog.h"
#include "intake/ui/new_download_dialog.h"
#include "settings/ui/credentials_dialog.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/dialogs/edit_download_dialog.h"
#include "shell/dialogs/exit_prompt.h"
#include "shell/dialogs/last_response_dialog.h"
#include "shell/dialogs/message_dialog.h"
#include "shell/dialogs/scheduling_dialog.h"
#include "support/controller_harness.h"

namespace {

bool save(QWidget& dialog, const QDir& folder, const QString& name) {
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return false;
    const QString path = folder.filePath(name + ".png");
    const bool saved = dialog.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    dialog.hide();
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog_screenshots DIR\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "dialog_screenshots: cannot make %s\n", argv[1]);
        return 1;
    }

    rg::test::ControllerHarness harness;
    if (!harness.start())
        return 1;
    auto item = harness.add("http://example.com/videos/holiday-2026.avi", "holiday-2026.avi", true);
    {
        auto data = item->lock();
        data->saved.total_size = 7340032;
        data->ranges.add(0, 1048576);
        data->ranges.add(2097152, 524288);
        data->ranges.add(6291456, 1048576);
        data->saved.range_count = 3;
        data->saved.downloaded = 2621440;
        data->saved.resume_count = 4;
    }
    bool ok = true;

    rg::AddContext context =
        rg::add_context(*harness.controller, harness.settings, harness.passwords, harness.host);
    {
        rg::NewDownloadDialog dialog(context);
        dialog.set_urls({"http://example.com/videos/part[01-12].avi",
                         "ftp://files.example.org/pub/archive.zip"});
        ok &= save(dialog, folder, "new-download");
    }
    {
        harness.controller->open_info_window(0);
        auto* dialog = new rg::EditDownloadDialog(harness.controller->info_window());
        ok &= save(*dialog, folder, "edit-download-data");
        dialog->close();
    }
    {
        rg::LastResponseDialog dialog(
            "HTTP/1.1 206 Partial Content\r\nServer: nginx\r\nContent-Type: video/x-msvideo\r\n"
            "Content-Range: bytes 1048576-2097151/7340032\r\nContent-Length: 1048576\r\n"
            "Accept-Ranges: bytes\r\nETag: \"6570-a1b2c3\"\r\n");
        ok &= save(dialog, folder, "last-response");
    }
    {
        rg::AboutDialog dialog;
        ok &= save(dialog, folder, "about");
    }
    {
        rg::ExitPrompt dialog;
        ok &= save(dialog, folder, "exit-prompt");
    }
    {
        rg::SchedulingDialog dialog(*harness.controller);
        ok &= save(dialog, folder, "scheduling");
    }
    {
        rg::CredentialsDialog dialog(harness.host, {item.get()}, harness.passwords);
        ok &= save(dialog, folder, "set-username-and-password");
    }
    {
        rg::MessageDialog dialog(rg::kClearCredentialsQuestion, rg::kClearCredentialsCaption,
                                 rg::MessageButtons::YesNo, rg::MessageIcon::Question);
        ok &= save(dialog, folder, "empty-fields");
    }
    return ok ? 0 : 1;
}
