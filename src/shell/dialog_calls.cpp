#include "shell/dialog_calls.h"

#include "intake/ui/new_download_dialog.h"
#include "settings/ui/credentials_dialog.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/dialogs/edit_download_dialog.h"
#include "shell/dialogs/last_response_dialog.h"
#include "shell/dialogs/scheduling_dialog.h"

namespace rg {

namespace {

// The answer headers of the item's last request; empty while a worker or the Montage is writing
// them on another thread.
std::string settled_headers(const DownloadItem& item) {
    if (item.worker_active.load() || item.state.load() == ItemState::MontageHeld)
        return {};
    return item.connection.raw_headers();
}

}  // namespace

void DialogCalls::new_download(const std::vector<std::string>& urls) {
    AddContext context = add_context(controller_, session_.settings, session_.passwords, host_);
    NewDownloadDialog dialog(context, owner_);
    QStringList texts;
    for (const std::string& url : urls)
        texts.append(QString::fromStdString(url));
    if (!texts.isEmpty())
        dialog.set_urls(texts);
    dialog.exec();
}

void DialogCalls::credentials(const std::vector<DownloadItem*>& items) {
    CredentialsDialog dialog(host_, items, session_.passwords, owner_);
    dialog.exec();
}

void DialogCalls::last_response(DownloadItem& item) {
    LastResponseDialog dialog(settled_headers(item), owner_);
    dialog.exec();
}

void DialogCalls::edit_download() {
    // Modeless and without an owner, as the window it stands for; it deletes itself when closed.
    auto* dialog = new EditDownloadDialog(controller_.info_window());
    dialog->show();
}

void DialogCalls::scheduling() {
    SchedulingDialog dialog(controller_, owner_);
    dialog.exec();
}

void DialogCalls::options() {
    // The Options sheet comes with the settings' window.
}

void DialogCalls::about() {
    AboutDialog dialog(owner_);
    dialog.exec();
}

}  // namespace rg
