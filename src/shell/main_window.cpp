#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "engine/clipboard_text.h"
#include "engine/command_targets.h"
#include "engine/item_toggles.h"
#include "engine/reorder.h"
#include "engine/selection.h"
#include "engine/transfer_worker.h"
#include "intake/add_download.h"
#include "shell/artwork.h"

namespace rg {

namespace {

constexpr const char* kHelpUrl = "https://reelgrab.org/help";
constexpr const char* kFeedbackUrl = "https://reelgrab.org/feedback";

}  // namespace

MainWindow::MainWindow(const Parts& parts, QWidget* parent) : QMainWindow(parent), parts_(parts) {
    setWindowTitle(kWindowTitle);
    setWindowIcon(application_icon());
    resize(kWindowSize);

    model_ = new DownloadListModel(parts_.session->list, this);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    toolbar_ = new ToolbarPane(central);
    panes_ = new QStackedWidget(central);
    downloads_ = new DownloadsPane(*model_, panes_);
    // The Montage pane's content comes with the Montage window.
    montage_ = new QLabel(tr("Montage"), panes_);
    montage_->setObjectName("montage_pane");
    static_cast<QLabel*>(montage_)->setAlignment(Qt::AlignCenter);
    montage_->setAutoFillBackground(true);
    panes_->addWidget(downloads_);
    panes_->addWidget(montage_);
    layout->addWidget(toolbar_);
    layout->addWidget(panes_, 1);
    setCentralWidget(central);

    menu_ = new MainMenu(this, menuBar());
    connect(menu_, &MainMenu::triggered, this, &MainWindow::dispatch);
    connect(toolbar_, &ToolbarPane::clicked, this, &MainWindow::on_toolbar);

    connect(downloads_, &DownloadsPane::add_wanted, this, &MainWindow::add_from_edit);
    connect(downloads_->start_button(), &QAbstractButton::clicked, this,
            [this] { dispatch(CommandId::Start); });
    connect(downloads_->pause_button(), &QAbstractButton::clicked, this,
            [this] { dispatch(CommandId::Pause); });
    connect(downloads_->cancel_button(), &QAbstractButton::clicked, this,
            [this] { dispatch(CommandId::Cancel); });
    DownloadListView* list = downloads_->list();
    connect(list, &DownloadListView::row_double_clicked, this, [this](int row) {
        model_->sync();
        if (DownloadItem* item = parts_.session->list.item_at(row))
            parts_.controller->start_download(*item, false);
        refresh_commands();
    });
    connect(list, &DownloadListView::context_menu_wanted, this, &MainWindow::open_context_menu);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::refresh_commands);
    connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MainWindow::refresh_commands);
    // Accelerators win over the URL edit and the list (Ctrl+C copies the download's URL).
    downloads_->url_edit()->installEventFilter(this);
    list->installEventFilter(this);

    tray_ = new TrayIcon(menu_->tray_menu(), windowIcon(), this);
    connect(tray_, &TrayIcon::show_wanted, this, &MainWindow::show_window);

    clipboard_watch_ = new ClipboardWatch(
        *parts_.clipboard, parts_.session->settings, parts_.session->list,
        [this](const std::string& url) { on_caught(url); }, this);
    dialogs_ =
        std::make_unique<DialogCalls>(*parts_.session, *parts_.controller, *parts_.host, this);

    connect(parts_.pump, &ControllerPump::repaint_due, this, &MainWindow::repaint_rows);
    connect(parts_.pump, &ControllerPump::messages_served, this, &MainWindow::refresh_commands);
    parts_.controller->on_state_changed = [this] {
        parts_.pump->follow_auto_download();
        refresh_commands();
    };

    model_->sync();
    switch_view(View::Downloads);
}

MainWindow::~MainWindow() {
    parts_.controller->on_state_changed = nullptr;
}

Selection MainWindow::current_selection() const {
    Selection selection(model_->rowCount());
    const QItemSelectionModel* selected = downloads_->list()->selectionModel();
    for (const QItemSelectionRange& range : selected->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            selection.set_selected(row, true);
    }
    const QModelIndex current = selected->currentIndex();
    selection.set_caret(current.isValid() ? current.row() : kNoRow);
    return selection;
}

void MainWindow::apply_selection(const Selection& selection) {
    QItemSelection wanted;
    const std::vector<std::int32_t> rows = selection.selected_rows();
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1)
            ++end;
        wanted.select(model_->index(rows[i]), model_->index(rows[end]));
        i = end + 1;
    }
    QItemSelectionModel* model = downloads_->list()->selectionModel();
    in_refresh_ = true;
    model->select(wanted, QItemSelectionModel::ClearAndSelect);
    if (selection.caret() != kNoRow)
        model->setCurrentIndex(model_->index(selection.caret()), QItemSelectionModel::NoUpdate);
    in_refresh_ = false;
    refresh_commands();
}

std::vector<DownloadItem*> MainWindow::items_of(const std::vector<std::int32_t>& rows) const {
    std::vector<DownloadItem*> items;
    for (std::int32_t row : rows) {
        if (DownloadItem* item = parts_.session->list.item_at(row))
            items.push_back(item);
    }
    return items;
}

void MainWindow::dispatch(CommandId id) {
    model_->sync();
    DownloadList& list = parts_.session->list;
    Controller& controller = *parts_.controller;
    Selection selection = current_selection();

    if (const auto mode = reorder_mode_of(id)) {
        if (!list.empty()) {
            const Selection after = reorder(list, selection, *mode);
            model_->sync();
            apply_selection(after);
        }
        return;
    }
    if (apply_selection_command(id, list, selection)) {
        apply_selection(selection);
        return;
    }
    if (const auto flag = toggled_flag_of(id)) {
        toggle_flag(list, selection, *flag);
        refresh_commands();
        return;
    }
    const std::vector<std::int32_t> targets = command_targets(id, list, selection);
    switch (id) {
        case CommandId::CopyUrl:
        case CommandId::CopyFilename:
            if (const auto text = clipboard_text(id, list, selection))
                parts_.clipboard->set_text(*text);
            return;
        case CommandId::Start:
            for (DownloadItem* item : items_of(targets))
                controller.start_download(*item, false);
            refresh_commands();
            return;
        case CommandId::Pause:
            controller.pause_selected(targets);
            refresh_commands();
            return;
        case CommandId::Cancel:
            controller.cancel_selected(targets);
            refresh_commands();
            return;
        case CommandId::ChangeLocalFilename:
            for (DownloadItem* item : items_of(targets))
                change_local_filename(*item, *parts_.host);
            refresh_commands();
            return;
        case CommandId::ChangeCredentials:
            if (!targets.empty())
                dialogs_->credentials(items_of(targets));
            return;
        case CommandId::ShowLastResponse:
            for (DownloadItem* item : items_of(targets))
                dialogs_->last_response(*item);
            return;
        case CommandId::AdvancedInformation:
            if (!targets.empty() &&
                controller.open_info_window(targets.front()) == InfoWindow::OpenResult::Opened) {
                dialogs_->edit_download();
            }
            refresh_commands();
            return;
        case CommandId::NewDownload:
            dialogs_->new_download({});
            model_->sync();
            return;
        case CommandId::MinimizeToTray:
            to_tray();
            return;
        case CommandId::Exit:
        case CommandId::TrayExit: {
            // The exit waits for every worker: one that asks a question meanwhile is answered
            // with cancel instead of waiting for the window.
            const QuestionsWithdrawn withdrawn(parts_.gui_host);
            controller.exit_prompt();
            return;
        }
        case CommandId::ViewDownloads:
            switch_view(View::Downloads);
            return;
        case CommandId::ViewMontage:
            switch_view(View::Montage);
            return;
        case CommandId::Options:
        case CommandId::TrayOptions:
            dialogs_->options();
            return;
        case CommandId::Help:
            QDesktopServices::openUrl(QUrl(kHelpUrl));
            return;
        case CommandId::SubmitFeedback:
            QDesktopServices::openUrl(QUrl(kFeedbackUrl));
            return;
        case CommandId::About:
            dialogs_->about();
            return;
        case CommandId::ShowReelgrab:
            show_window();
            return;
        case CommandId::AutomaticDownloading:
            controller.toggle_auto_download();
            parts_.pump->follow_auto_download();
            refresh_commands();
            return;
        default:
            // The Montage's commands belong to the Montage window.
            return;
    }
}

void MainWindow::on_toolbar(ToolbarButtonId id) {
    switch (id) {
        case ToolbarButtonId::Downloads:
            switch_view(View::Downloads);
            return;
        case ToolbarButtonId::Montage:
            switch_view(View::Montage);
            return;
        case ToolbarButtonId::Auto:
            dispatch(CommandId::AutomaticDownloading);
            return;
        case ToolbarButtonId::Schedule:
            dialogs_->scheduling();
            refresh_commands();
            return;
        case ToolbarButtonId::Options:
            dialogs_->options();
            return;
    }
}

void MainWindow::switch_view(View view) {
    view_ = view;
    panes_->setCurrentWidget(view == View::Downloads ? downloads_ : montage_);
    refresh_commands();
}

void MainWindow::refresh_commands() {
    if (in_refresh_)
        return;
    in_refresh_ = true;
    model_->sync();
    in_refresh_ = false;
    const CommandInputs inputs{view_, parts_.controller->auto_download()};
    apply_state(command_state(parts_.session->list, current_selection(), inputs));
}

void MainWindow::apply_state(const CommandState& state) {
    state_ = state;
    for (const CommandEntry& entry : kCommandTable) {
        QAction* action = menu_->action(entry.id);
        const CommandFlags flags = state.flags(entry.id);
        action->setEnabled(flags.enabled);
        if (action->isCheckable())
            action->setChecked(flags.checked);
    }
    menu_->download_menu()->menuAction()->setEnabled(state.popup_enabled(MenuPopup::Download));
    menu_->montage_menu()->menuAction()->setEnabled(state.popup_enabled(MenuPopup::Montage));
    downloads_->start_button()->setEnabled(state.button_enabled(PaneControlId::Start));
    downloads_->pause_button()->setEnabled(state.button_enabled(PaneControlId::Pause));
    downloads_->cancel_button()->setEnabled(state.button_enabled(PaneControlId::Cancel));
    for (ToolbarButtonId id :
         {ToolbarButtonId::Downloads, ToolbarButtonId::Montage, ToolbarButtonId::Auto}) {
        toolbar_->button(id)->set_marked(state.toolbar_checked(id));
    }
    downloads_->list()->viewport()->update();
}

void MainWindow::repaint_rows() {
    model_->sync();
    // The speed shown is the average since the last repaint: measured for the rows on screen.
    DownloadListView* list = downloads_->list();
    const QModelIndex first = list->indexAt(QPoint(0, 0));
    if (first.isValid()) {
        const Tick now = tick_count();
        const int height = list->viewport()->height();
        for (int row = first.row(); row < model_->rowCount(); ++row) {
            const QRect rect = list->visualRect(model_->index(row));
            if (rect.top() >= height)
                break;
            model_->item_at(row)->update_speed(now);
        }
    }
    list->viewport()->update();
}

void MainWindow::show_window() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::to_tray() {
    if (tray_->available())
        hide();
    else
        showMinimized();
}

void MainWindow::finish_start(bool start_minimized) {
    if (start_minimized)
        to_tray();
    else
        show();
    clipboard_watch_->monitor().set_initialised();
}

void MainWindow::add_from_edit(const QString& text) {
    AddContext context = add_context(*parts_.controller, parts_.session->settings,
                                     parts_.session->passwords, *parts_.host);
    quick_add(context, text.toStdString());
    refresh_commands();
}

void MainWindow::on_caught(const std::string& url) {
    show_window();
    dialogs_->new_download({url});
    refresh_commands();
}

void MainWindow::open_context_menu(const QPoint& global_pos) {
    refresh_commands();
    menu_->download_menu()->exec(global_pos);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (parts_.controller->exiting()) {
        event->accept();
        return;
    }
    // Closing keeps the program running: the list is saved and the window goes to the tray.
    event->ignore();
    parts_.controller->save_list();
    to_tray();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction* action : menu_->shortcut_actions()) {
            if (action->shortcut() == pressed) {
                // Not taken by the edit: the window's accelerator runs.
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace rg
