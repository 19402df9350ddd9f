#pragma once

#include <QMainWindow>
#include <QStackedWidget>
#include <memory>
#include <optional>

#include "engine/command_ids.h"
#include "engine/command_state.h"
#include "engine/controller.h"
#include "shell/app_session.h"
#include "shell/clipboard_source.h"
#include "shell/clipboard_watch.h"
#include "shell/controller_pump.h"
#include "shell/dialog_calls.h"
#include "shell/download_list_model.h"
#include "shell/downloads_pane.h"
#include "shell/gui_host.h"
#include "shell/main_menu.h"
#include "shell/toolbar_pane.h"
#include "shell/tray_icon.h"

namespace rg {

inline constexpr const char* kWindowTitle = "Reelgrab 1.1";
inline constexpr QSize kWindowSize{520, 390};

// While it lives, a GuiHost (when there is one) answers the questions of other threads with their
// cancelling answer, so that this thread may wait for workers that are asking.
class QuestionsWithdrawn {
  public:
    explicit QuestionsWithdrawn(GuiHost* host) {
        if (host != nullptr)
            abandoned_.emplace(*host);
    }

  private:
    std::optional<QuestionsAbandoned> abandoned_;
};

// The main window: the toolbar pane over the Downloads and Montage panes, the menus and
// accelerators, the tray icon and the clipboard monitor. Every command goes through dispatch(),
// which gathers the rows a command acts on with the engine's command logic.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    struct Parts {
        AppSession* session = nullptr;
        Controller* controller = nullptr;
        ControllerPump* pump = nullptr;
        Host* host = nullptr;
        ClipboardSource* clipboard = nullptr;
        // The window's GuiHost, when the host is one: its questions from workers are withdrawn
        // while this thread waits for workers.
        GuiHost* gui_host = nullptr;
    };
    explicit MainWindow(const Parts& parts, QWidget* parent = nullptr);
    ~MainWindow() override;

    void dispatch(CommandId id);
    void on_toolbar(ToolbarButtonId id);
    void switch_view(View view);
    View view() const { return view_; }

    // The command state refresh: rows in step with the list, then every menu item and button.
    void refresh_commands();
    // Rows in step with the list and the visible rows repainted (timer 1).
    void repaint_rows();

    // Shows the window and brings it forward (tray, a caught URL, a second start).
    void show_window();
    // Close, F9 and StartMinimized: into the tray, or minimised when there is no tray.
    void to_tray();
    // The end of start-up: the window shown or not, the clipboard monitor live.
    void finish_start(bool start_minimized);

    // Adds the URL edit's text as "&Add" does.
    void add_from_edit(const QString& text);

    Selection current_selection() const;
    void apply_selection(const Selection& selection);

    DownloadsPane* downloads_pane() const { return downloads_; }
    ToolbarPane* toolbar() const { return toolbar_; }
    MainMenu* menu() const { return menu_; }
    DownloadListModel* model() const { return model_; }
    TrayIcon* tray() const { return tray_; }
    ClipboardWatch* clipboard_watch() const { return clipboard_watch_; }
    DialogCalls& dialogs() { return *dialogs_; }
    // Tests put their own dialogs in.
    void set_dialogs(std::unique_ptr<DialogCalls> dialogs) { dialogs_ = std::move(dialogs); }
    const CommandState& command_state_now() const { return state_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void apply_state(const CommandState& state);
    std::vector<DownloadItem*> items_of(const std::vector<std::int32_t>& rows) const;
    void on_caught(const std::string& url);
    void open_context_menu(const QPoint& global_pos);

    Parts parts_;
    DownloadListModel* model_;
    ToolbarPane* toolbar_;
    DownloadsPane* downloads_;
    QWidget* montage_;
    QStackedWidget* panes_;
    MainMenu* menu_;
    TrayIcon* tray_;
    ClipboardWatch* clipboard_watch_;
    std::unique_ptr<DialogCalls> dialogs_;
    View view_ = View::Downloads;
    CommandState state_;
    bool in_refresh_ = false;
};

}  // namespace rg
