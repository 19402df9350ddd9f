#pragma once

#include <deque>
#include <string>
#include <vector>

#include "engine/host.h"

namespace rg::test {

// A Host that records every message and answers from a script (Ok when the script is empty).
class RecordingHost : public Host {
  public:
    struct Message {
        std::string text;
        std::string caption;
        MessageButtons buttons;
        MessageIcon icon;
    };

    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(caption), buttons, icon});
        if (answers.empty())
            return MessageAnswer::Ok;
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<Message> messages;
    std::deque<MessageAnswer> answers;
};

}  // namespace rg::test
