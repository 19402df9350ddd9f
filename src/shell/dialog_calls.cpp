#include "shell/dialog_calls.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QStandardPaths>

namespace rg {

namespace {

constexpr const char* kAboutCaption = "About Reelgrab";

std::string download_folder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return folder.isEmpty()
               ? QStandardPaths::writableLocation(QStandardPaths::HomeLocation).toStdString()
               : folder.toStdString();
}

}  // namespace

void DialogCalls::new_download(const std::vector<std::string>& urls) {
    // Stand-in until the New Download dialog is built in: one URL, into the download folder.
    bool ok = false;
    const QString first = urls.empty() ? QString() : QString::fromStdString(urls.front());
    const QString url = QInputDialog::getText(owner_, QObject::tr("New Download"),
                                              QObject::tr("URL:"), QLineEdit::Normal, first, &ok);
    if (!ok || url.isEmpty())
        return;
    AddContext context = add_context(controller_, session_.settings, session_.passwords, host_);
    AddRequest request;
    request.folder = download_folder();
    request.url = url.toStdString();
    request.existing = ExistingFile::kNumber;
    add_download(context, request);
}

void DialogCalls::credentials(const std::vector<DownloadItem*>&) {}

void DialogCalls::last_response(DownloadItem& item) {
    QMessageBox::information(owner_, QObject::tr("Last Response"),
                             QString::fromStdString(item.connection.response_text()));
}

void DialogCalls::edit_download() {
    // Without the window the info window has nothing to show: let the item go again.
    controller_.info_window().close();
}

void DialogCalls::scheduling() {}

void DialogCalls::options() {}

void DialogCalls::about() {
    QMessageBox::about(owner_, kAboutCaption, QStringLiteral("Reelgrab " RG_VERSION));
}

}  // namespace rg
