#include "cli/answering_host.h"

namespace rg {

void AnsweringHost::answer(std::string_view question, MessageAnswer reply) {
    answers_[std::string(question)] = reply;
}

void AnsweringHost::silence(std::string_view notice) {
    silenced_.emplace(notice);
}

MessageAnswer AnsweringHost::message_box(std::string_view text, std::string_view caption,
                                         MessageButtons buttons, MessageIcon icon) {
    if (buttons != MessageButtons::Ok) {
        if (const auto it = answers_.find(text); it != answers_.end())
            return it->second;
    } else if (silenced_.contains(text)) {
        return MessageAnswer::Ok;
    }
    return inner_.message_box(text, caption, buttons, icon);
}

std::optional<std::string> AnsweringHost::choose_save_file(std::string_view proposed_path,
                                                           const FileFilter& filter) {
    return inner_.choose_save_file(proposed_path, filter);
}

std::optional<CredentialsAnswer> AnsweringHost::ask_credentials(std::string_view url) {
    return inner_.ask_credentials(url);
}

void AnsweringHost::open_file(const std::string& path) {
    inner_.open_file(path);
}

void AnsweringHost::list_changed() {
    inner_.list_changed();
}

}  // namespace rg
