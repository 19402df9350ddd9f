#pragma once

#include "shell/dialogs/message_dialog.h"

namespace rg {

class Controller;

// The exit prompt of "E&xit", "E&xit Reelgrab" and the when-done action "Close Reelgrab".
// The rule lives in the controller: with "ConfirmExit" on it asks "Are you sure you want to exit
// Reelgrab" ("Exit", Yes/No) through its host, which GuiHost shows as this box; any answer but No
// exits.
class ExitPrompt : public MessageDialog {
    Q_OBJECT

  public:
    explicit ExitPrompt(QWidget* parent = nullptr);

    // The prompt and, unless the answer is No, the exit (Controller::exit_prompt). True when
    // exiting.
    static bool run(Controller& controller);
};

}  // namespace rg
