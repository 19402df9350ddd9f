#include "cli/montage_host.h"

#include <cstdio>
#include <mutex>

#include "montage/montage_texts.h"

namespace rg {

bool MontageHost::accept_other_format() {
    if (any_format_)
        return true;
    const MessageAnswer answer = terminal_.message_box(kInvalidMediaText, kInvalidMediaCaption,
                                                       MessageButtons::YesNo, MessageIcon::Warning);
    {
        std::lock_guard guard(terminal_.output_mutex());
        std::fprintf(stderr, "%s\n", kAnyFormatHint.data());
    }
    return answer == MessageAnswer::Yes;
}

}  // namespace rg
