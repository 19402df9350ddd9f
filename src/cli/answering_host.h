#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "platform/host.h"

namespace rg {

// A host for one command: the questions it was given answers for are answered without asking
// (an option on the command line is the answer), the notices it was told to silence are not
// shown (the command reports them itself); everything else goes to the wrapped host. Set up
// before the controller runs; afterwards only read, so workers may call it.
class AnsweringHost : public Host {
  public:
    explicit AnsweringHost(Host& inner) : inner_(inner) {}

    void answer(std::string_view question, MessageAnswer reply);
    void silence(std::string_view notice);

    MessageAnswer message_box(std::string_view text, std::string_view caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> choose_save_file(std::string_view proposed_path,
                                                const FileFilter& filter) override;
    std::optional<CredentialsAnswer> ask_credentials(std::string_view url) override;
    void open_file(const std::string& path) override;
    void list_changed() override;

  private:
    Host& inner_;
    std::map<std::string, MessageAnswer, std::less<>> answers_;
    std::set<std::string, std::less<>> silenced_;
};

}  // namespace rg
