#pragma once

#include <mutex>

#include "platform/host.h"

namespace rg {

// The command-line tool's answers: messages go to standard error; a question is answered with the
// button that leaves things as they are (No, or Cancel, or Ok for a plain message). Credentials
// are asked for on the terminal when there is one. Safe to call from worker threads.
class TerminalHost : public Host {
  public:
    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::optional<CredentialsAnswer> ask_credentials(std::string_view url) override;

    // Serialises everything written to the terminal.
    std::mutex& output_mutex() { return mutex_; }

  private:
    std::mutex mutex_;
};

}  // namespace rg
