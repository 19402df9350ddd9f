#include "cli/montage_host.h"

#include <cstdio>

#include "montage/montage_texts.h"

namespace rg {

MessageAnswer MontageHost::message_box(std::string_view text, std::string_view caption,
                                       MessageButtons buttons, MessageIcon icon) {
    const bool format_question = caption == kInvalidMediaCaption && text == kInvalidMediaText;
    if (format_question && any_format_)
        return MessageAnswer::Yes;
    {
        std::lock_guard guard(mutex_);
        last_message_ = std::string(text);
    }
    const MessageAnswer answer = terminal_.message_box(text, caption, buttons, icon);
    if (format_question) {
        std::lock_guard guard(terminal_.output_mutex());
        std::fprintf(stderr, "%s\n", kAnyFormatHint.data());
    }
    return answer;
}

std::string MontageHost::last_message() const {
    std::lock_guard guard(mutex_);
    return last_message_;
}

}  // namespace rg
