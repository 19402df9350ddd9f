#include "gui_fixture.h"

#include <QItemSelectionModel>
#include <QTest>

#include "intake/add_download.h"

namespace rg::test {

namespace {

// Defaults that keep a test's window shown and quiet unless the test says otherwise.
// The first of two equal keys counts, so the test's own lines come first.
constexpr const char* kSection = "[General]\n";
constexpr const char* kBaseSettings = "StartMinimized=0\nAutoStartDownload=0\nMonitorClipboard=0\n";

}  // namespace

GuiFixture::GuiFixture(const std::string& settings_lines, GuiHost* gui_host) {
    write_file(dir.file("rlg.ini"), kSection + settings_lines + kBaseSettings);
    if (gui_host != nullptr)
        app_ = std::make_unique<GuiApp>(dir.path(), *gui_host, gui_host);
    else
        app_ = std::make_unique<GuiApp>(dir.path(), host);
    if (app_->start({}) != GuiApp::StartResult::Started)
        return;
    auto dialogs =
        std::make_unique<RecordingDialogs>(app_->session(), app_->controller(), host, &window());
    dialogs_ = dialogs.get();
    window().set_dialogs(std::move(dialogs));
    window().show();
    window().activateWindow();
    if (!QTest::qWaitForWindowExposed(&window()))
        qWarning("the window was not exposed");
}

GuiFixture::~GuiFixture() = default;

QListView& GuiFixture::view() {
    return *window().downloads_pane()->list();
}

DownloadItem& GuiFixture::add(const std::string& url) {
    AddContext context =
        add_context(app_->controller(), app_->session().settings, app_->session().passwords, host);
    AddRequest request;
    request.folder = dir.path();
    request.url = url;
    request.existing = ExistingFile::kNumber;
    const AddResult result = add_download(context, request);
    window().refresh_commands();
    return *result.item;
}

void GuiFixture::select_rows(const std::vector<int>& rows) {
    Selection selection(list().count());
    for (int row : rows)
        selection.set_selected(row, true);
    selection.set_caret(rows.empty() ? kNoRow : rows.back());
    window().apply_selection(selection);
}

QPoint GuiFixture::row_centre(int row) {
    return view().visualRect(view().model()->index(row, 0)).center();
}

std::vector<std::string> GuiFixture::row_names() {
    std::vector<std::string> names;
    for (int row = 0; row < view().model()->rowCount(); ++row)
        names.push_back(view().model()->index(row, 0).data().toString().toStdString());
    return names;
}

}  // namespace rg::test
