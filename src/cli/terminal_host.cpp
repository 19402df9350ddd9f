#include "cli/terminal_host.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace rg {

namespace {

std::string one_line(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            continue;
        out.push_back(c == '\n' ? ' ' : c);
    }
    return out;
}

bool read_line(std::string& line, bool echo) {
    termios old{};
    const bool tty = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty && !echo) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool ok = static_cast<bool>(std::getline(std::cin, line));
    if (tty && !echo) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
        std::fputc('\n', stderr);
    }
    return ok;
}

}  // namespace

MessageAnswer TerminalHost::message_box(std::string_view text, std::string_view caption,
                                        MessageButtons buttons, MessageIcon /*icon*/) {
    {
        std::lock_guard guard(mutex_);
        std::fprintf(stderr, "\nrlg: %s: %s\n", std::string(caption).c_str(),
                     one_line(text).c_str());
    }
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

std::optional<CredentialsAnswer> TerminalHost::ask_credentials(std::string_view url) {
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    std::lock_guard guard(mutex_);
    CredentialsAnswer answer;
    std::fprintf(stderr,
                 "\n%s wants a user name and password.\nUser name: ", std::string(url).c_str());
    if (!read_line(answer.user_name, true))
        return std::nullopt;
    std::fprintf(stderr, "Password: ");
    if (!read_line(answer.password, false))
        return std::nullopt;
    return answer;
}

}  // namespace rg
