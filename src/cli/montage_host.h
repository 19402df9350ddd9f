#pragma once

#include <mutex>
#include <string>

#include "cli/terminal_host.h"

namespace rg {

// The terminal host of the Montage commands. The question whether to open a file that does not
// end in ".avi" is answered Yes when the user gave --any-format, else No with a hint about that
// option; every other message goes to the terminal host. Keeps the last message shown, which is
// why an open that never started was refused.
class MontageHost final : public Host {
  public:
    MontageHost(TerminalHost& terminal, bool any_format)
        : terminal_(terminal), any_format_(any_format) {}

    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::optional<CredentialsAnswer> ask_credentials(std::string_view url) override {
        return terminal_.ask_credentials(url);
    }

    // The last message shown, empty when none was.
    std::string last_message() const;

  private:
    TerminalHost& terminal_;
    const bool any_format_;
    mutable std::mutex mutex_;
    std::string last_message_;
};

// The hint printed when a file that does not end in ".avi" is refused.
inline constexpr std::string_view kAnyFormatHint =
    "rlg: answered No: the file does not end in .avi; --any-format opens it anyway";

}  // namespace rg
