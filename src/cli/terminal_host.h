#pragma once

#include "engine/host.h"

namespace rg {

// The command-line tool's answers: messages go to standard error; a question is answered with the
// button that leaves things as they are (No, or Cancel, or Ok for a plain message).
class TerminalHost : public Host {
  public:
    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
};

}  // namespace rg
