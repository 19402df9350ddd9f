#include "shell/dialogs/exit_prompt.h"

#include "engine/controller.h"
#include "engine/status_texts.h"

namespace rg {

ExitPrompt::ExitPrompt(QWidget* parent)
    : MessageDialog(kExitQuestion, kExitCaption, MessageButtons::YesNo, MessageIcon::None, parent) {
}

bool ExitPrompt::run(Controller& controller) {
    return controller.exit_prompt();
}

}  // namespace rg
