#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"

namespace rg::test {

// A Host that records what the core asks and answers from scripts: messages with Ok (or the
// next scripted answer), the save-file chooser and the credentials prompt from their queues
// (cancel when empty). Safe to call from worker threads.
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
        std::lock_guard guard(mutex);
        messages.push_back({std::string(text), std::string(caption), buttons, icon});
        if (answers.empty())
            return MessageAnswer::Ok;
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::optional<std::string> choose_save_file(std::string_view proposed_path,
                                                const FileFilter&) override {
        std::lock_guard guard(mutex);
        proposed_paths.emplace_back(proposed_path);
        if (chosen_paths.empty())
            return std::nullopt;
        auto path = chosen_paths.front();
        chosen_paths.pop_front();
        return path;
    }

    std::optional<CredentialsAnswer> ask_credentials(std::string_view url) override {
        std::lock_guard guard(mutex);
        credential_urls.emplace_back(url);
        if (credentials.empty())
            return std::nullopt;
        auto answer = credentials.front();
        credentials.pop_front();
        return answer;
    }

    void open_file(const std::string& path) override {
        std::lock_guard guard(mutex);
        opened_files.push_back(path);
    }

    void list_changed() override { ++list_changes; }

    std::vector<Message> message_list() {
        std::lock_guard guard(mutex);
        return messages;
    }

    std::mutex mutex;
    std::vector<Message> messages;
    std::deque<MessageAnswer> answers;
    std::vector<std::string> proposed_paths;
    std::deque<std::string> chosen_paths;
    std::vector<std::string> credential_urls;
    std::deque<CredentialsAnswer> credentials;
    std::vector<std::string> opened_files;
    std::atomic<int> list_changes{0};
};

}  // namespace rg::test
