#pragma once

#include <string_view>

namespace rg {

enum class MessageIcon { None, Error, Warning, Question, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

inline constexpr std::string_view kErrorCaption = "Error";

// How the core reaches the user. The GUI answers with dialogs, the command-line tool on the
// terminal, tests with scripted answers.
class Host {
  public:
    virtual ~Host() = default;

    // A modal message with a fixed text and caption; returns the button chosen.
    virtual MessageAnswer message_box(std::string_view text, std::string_view caption,
                                      MessageButtons buttons, MessageIcon icon) = 0;
};

}  // namespace rg
