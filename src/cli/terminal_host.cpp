#include "cli/terminal_host.h"

#include <cstdio>
#include <string>

namespace rg {

MessageAnswer TerminalHost::message_box(std::string_view text, std::string_view caption,
                                        MessageButtons buttons, MessageIcon /*icon*/) {
    std::fprintf(stderr, "rlg: %s: %s\n", std::string(caption).c_str(), std::string(text).c_str());
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::OkCancel:
        case MessageButtons::YesNoCancel:
            return MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
    }
    return MessageAnswer::Cancel;
}

}  // namespace rg
