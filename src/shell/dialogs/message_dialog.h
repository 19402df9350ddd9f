#pragma once

#include <QMessageBox>
#include <QString>
#include <string_view>

#include "platform/host.h"

class QWidget;

namespace rg {

// The core's line breaks ("\r\n") as Qt shows them.
QString display_text(std::string_view text);

// A message box with the core's exact text, caption, buttons and icon. Its text is plain (a URL or
// a server's answer in it is never read as markup). The first button is the default; Escape and
// the close button give Cancel, or No when there is no Cancel.
class MessageDialog : public QMessageBox {
    Q_OBJECT

  public:
    MessageDialog(std::string_view text, std::string_view caption, MessageButtons buttons,
                  MessageIcon icon, QWidget* parent = nullptr);

    // Runs the box modally and returns the button chosen.
    MessageAnswer ask();

  private:
    MessageButtons buttons_;
};

}  // namespace rg
