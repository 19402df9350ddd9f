#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "engine/controller.h"
#include "intake/add_download.h"
#include "shell/app_session.h"

namespace rg {

// The one place where the main window opens a dialog. Each call uses the dialogs library when it
// is built in, and otherwise a plain stand-in (or nothing) so that the window stays usable.
class DialogCalls {
  public:
    DialogCalls(AppSession& session, Controller& controller, Host& host, QWidget* owner)
        : session_(session), controller_(controller), host_(host), owner_(owner) {}
    virtual ~DialogCalls() = default;

    // The New Download dialog (command 40018, a caught clipboard URL, a second start's URLs).
    virtual void new_download(const std::vector<std::string>& urls);
    // Dialog 104 for the selected items (command 40011).
    virtual void credentials(const std::vector<DownloadItem*>& items);
    virtual void last_response(DownloadItem& item);
    // The Edit Download Data (Advanced) window over the controller's info window, just opened.
    virtual void edit_download();
    virtual void scheduling();
    virtual void options();
    virtual void about();

  protected:
    AppSession& session_;
    Controller& controller_;
    Host& host_;
    QWidget* owner_;
};

}  // namespace rg
