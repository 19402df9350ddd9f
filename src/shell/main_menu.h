#pragma once

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <map>

#include "engine/command_ids.h"

namespace rg {

// The QActions of every command, with the menu texts and accelerators of the command table, and
// the menus built from them: the main menu, its "&Download" popup (also the list's context menu)
// and the tray menu.
class MainMenu : public QObject {
    Q_OBJECT
  public:
    // The actions belong to `window`, so their accelerators work anywhere in it.
    MainMenu(QWidget* window, QMenuBar* bar);

    QAction* action(CommandId id) const;
    QMenu* download_menu() const { return download_; }
    QMenu* montage_menu() const { return montage_; }
    QMenu* tray_menu() const { return tray_; }
    // Every action with an accelerator.
    QList<QAction*> shortcut_actions() const;

  signals:
    void triggered(CommandId id);

  private:
    QAction* make(CommandId id, QWidget* window);
    QMenu* fill(QMenu* menu, std::initializer_list<std::int32_t> ids);

    std::map<CommandId, QAction*> actions_;
    QMenu* download_ = nullptr;
    QMenu* montage_ = nullptr;
    QMenu* tray_ = nullptr;
};

// The accelerator of a menu text: the text after its tab, or none.
QKeySequence accelerator_of(std::string_view menu_text);

}  // namespace rg
