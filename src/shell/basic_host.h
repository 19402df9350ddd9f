#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/host.h"

namespace rg {

// A Host with plain Qt message boxes and file choosers, for a build without the dialogs library.
// Calls from other threads run on the GUI thread while the caller waits.
class BasicHost : public Host {
  public:
    explicit BasicHost(QWidget* owner = nullptr) : owner_(owner) {}
    void set_owner(QWidget* owner) { owner_ = owner; }

    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> choose_save_file(std::string_view proposed_path,
                                                const FileFilter& filter) override;
    void open_file(const std::string& path) override;

  private:
    QPointer<QWidget> owner_;
};

}  // namespace rg
