#pragma once

#include <functional>

#include "platform/host.h"

namespace rg {

// The program's Host: the window's dialogs answer the questions (`inner`), and list_changed also
// reaches the main window so that its rows and command states follow.
class ForwardingHost : public Host {
  public:
    explicit ForwardingHost(Host& inner) : inner_(inner) {}

    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override {
        return inner_.message_box(text, caption, buttons, icon);
    }
    std::optional<std::string> choose_save_file(std::string_view proposed_path,
                                                const FileFilter& filter) override {
        return inner_.choose_save_file(proposed_path, filter);
    }
    std::optional<CredentialsAnswer> ask_credentials(std::string_view url) override {
        return inner_.ask_credentials(url);
    }
    void open_file(const std::string& path) override { inner_.open_file(path); }
    void list_changed() override {
        inner_.list_changed();
        if (on_list_changed)
            on_list_changed();
    }

    // Controller thread only; set before the controller runs.
    std::function<void()> on_list_changed;

  private:
    Host& inner_;
};

}  // namespace rg
