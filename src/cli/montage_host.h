#pragma once

#include "cli/terminal_host.h"

namespace rg {

// The terminal host of the Montage commands. The question whether to open a file that does not
// end in ".avi" is answered by accept_other_format(): Yes when the user gave --any-format, else
// No with a hint about that option. Every message goes to the terminal host.
class MontageHost final : public Host {
  public:
    MontageHost(TerminalHost& terminal, bool any_format)
        : terminal_(terminal), any_format_(any_format) {}

    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override {
        return terminal_.message_box(text, caption, buttons, icon);
    }
    std::optional<CredentialsAnswer> ask_credentials(std::string_view url) override {
        return terminal_.ask_credentials(url);
    }

    // The Montage's question about a file that does not end in ".avi": true to open it.
    bool accept_other_format();

  private:
    TerminalHost& terminal_;
    const bool any_format_;
};

// The hint printed when a file that does not end in ".avi" is refused.
inline constexpr std::string_view kAnyFormatHint =
    "rlg: answered No: the file does not end in .avi; --any-format opens it anyway";

}  // namespace rg
