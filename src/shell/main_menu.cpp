#include "shell/main_menu.h"

namespace rg {

namespace {

// A separator in a menu's id list.
constexpr std::int32_t kSeparator = 0;

const CommandId kCheckable[] = {CommandId::OpenWhenDone, CommandId::Scheduled,
                                CommandId::ViewDownloads, CommandId::ViewMontage,
                                CommandId::AutomaticDownloading};

QString qt_text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QKeySequence accelerator_of(std::string_view menu_text) {
    const std::size_t tab = menu_text.find('\t');
    if (tab == std::string_view::npos)
        return {};
    return QKeySequence::fromString(qt_text(menu_text.substr(tab + 1)), QKeySequence::PortableText);
}

MainMenu::MainMenu(QWidget* window, QMenuBar* bar) : QObject(window) {
    for (const CommandEntry& entry : kCommandTable)
        actions_[entry.id] = make(entry.id, window);

    using C = CommandId;
    auto n = [](C id) { return static_cast<std::int32_t>(id); };
    fill(bar->addMenu(tr("&File")),
         {n(C::NewDownload), kSeparator, n(C::MinimizeToTray), kSeparator, n(C::Exit)});
    fill(bar->addMenu(tr("&Edit")),
         {n(C::SelectAll), n(C::SelectRunning), n(C::SelectNotFound), n(C::SelectNotScheduled),
          kSeparator, n(C::SelectInverse), n(C::SelectNone)});
    download_ = bar->addMenu(tr("&Download"));
    fill(download_, {n(C::Start), n(C::Pause), kSeparator});
    fill(download_->addMenu(tr("C&hange Order")),
         {n(C::MoveToTop), n(C::MoveUp), kSeparator, n(C::MoveDown), n(C::MoveToBottom)});
    download_->addSeparator();
    fill(download_->addMenu(tr("O&ptions")),
         {n(C::ChangeLocalFilename), n(C::ChangeCredentials), kSeparator, n(C::ShowLastResponse),
          kSeparator, n(C::AdvancedInformation)});
    fill(download_,
         {n(C::OpenWhenDone), kSeparator, n(C::CopyUrl), n(C::CopyFilename), kSeparator,
          n(C::Montage), n(C::AutoMontage), kSeparator, n(C::Scheduled), kSeparator, n(C::Cancel)});
    montage_ = bar->addMenu(tr("&Montage"));
    fill(montage_, {n(C::GetFrame), kSeparator, n(C::SaveFrame), n(C::CloseImage), kSeparator,
                    n(C::ClearStoryboard), kSeparator, n(C::CloseMedia)});
    fill(bar->addMenu(tr("&View")), {n(C::ViewDownloads), kSeparator, n(C::ViewMontage)});
    fill(bar->addMenu(tr("&Tools")), {n(C::Options)});
    fill(bar->addMenu(tr("&Help")), {n(C::Help), n(C::SubmitFeedback), kSeparator, n(C::About)});

    tray_ = new QMenu(window);
    tray_->setTitle(tr("Tray PopUp"));
    fill(tray_, {n(C::ShowReelgrab), n(C::TrayOptions), kSeparator, n(C::AutomaticDownloading),
                 kSeparator, n(C::TrayExit)});
}

QAction* MainMenu::make(CommandId id, QWidget* window) {
    const std::string_view text = command_text(id);
    auto* action = new QAction(qt_text(text), window);
    action->setObjectName(QStringLiteral("command_%1").arg(static_cast<int>(id)));
    action->setData(static_cast<int>(id));
    const QKeySequence key = accelerator_of(text);
    if (!key.isEmpty()) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        // On the window itself, so the accelerator works whatever menu shows the action.
        window->addAction(action);
    }
    for (CommandId checkable : kCheckable) {
        if (checkable == id)
            action->setCheckable(true);
    }
    connect(action, &QAction::triggered, this, [this, id] { emit triggered(id); });
    return action;
}

QMenu* MainMenu::fill(QMenu* menu, std::initializer_list<std::int32_t> ids) {
    for (std::int32_t id : ids) {
        if (id == kSeparator)
            menu->addSeparator();
        else if (const auto command = command_from_number(id))
            menu->addAction(actions_.at(*command));
    }
    return menu;
}

QAction* MainMenu::action(CommandId id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QList<QAction*> MainMenu::shortcut_actions() const {
    QList<QAction*> list;
    for (const auto& [id, action] : actions_) {
        if (!action->shortcut().isEmpty())
            list.append(action);
    }
    return list;
}

}  // namespace rg
