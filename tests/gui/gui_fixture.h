#pragma once

#include <QListView>
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "shell/gui_app.h"
#include "shell/gui_host.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace rg::test {

// Dialogs that record what the window asks of them instead of showing anything.
class RecordingDialogs : public DialogCalls {
  public:
    using DialogCalls::DialogCalls;
    void new_download(const std::vector<std::string>& urls) override {
        new_download_calls.push_back(urls);
    }
    void about() override { ++about_calls; }
    std::vector<std::vector<std::string>> new_download_calls;
    int about_calls = 0;
};

// A running program over a fresh data folder with the given settings lines.
class GuiFixture {
  public:
    // `gui_host`: the window's real GuiHost answers instead of the recording host.
    explicit GuiFixture(const std::string& settings_lines = {}, GuiHost* gui_host = nullptr);
    ~GuiFixture();

    GuiApp& app() { return *app_; }
    MainWindow& window() { return *app_->window(); }
    DownloadList& list() { return app_->session().list; }
    QListView& view();
    RecordingDialogs& dialogs() { return *dialogs_; }

    // Adds a download of `url` into the data folder, as the intake does.
    DownloadItem& add(const std::string& url);
    // Selects exactly these rows, the caret on the last, as clicks would.
    void select_rows(const std::vector<int>& rows);
    QPoint row_centre(int row);
    // The file names of the rows, in order.
    std::vector<std::string> row_names();

    TempDir dir;
    RecordingHost host;

  private:
    std::unique_ptr<GuiApp> app_;
    RecordingDialogs* dialogs_ = nullptr;
};

}  // namespace rg::test
