#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include "shell/activation_message.h"

namespace rg {

// The server name of a data folder: one running copy per folder and user, in the abstract
// namespace (no socket file left behind).
QString instance_server_name(const std::string& data_dir);

// Asks the copy that serves the folder to show its window and take the URLs. True when it
// answered.
bool hand_to_running_copy(const std::string& data_dir, const Activation& activation,
                          int timeout_ms);

// The running copy's side.
class InstanceServer : public QObject {
    Q_OBJECT
  public:
    explicit InstanceServer(QObject* parent = nullptr);
    bool listen(const std::string& data_dir);

  signals:
    void activated(const Activation& activation);

  private:
    void on_connection();

    QLocalServer server_;
};

// The token a start was given by the desktop: XDG_ACTIVATION_TOKEN (Wayland) or
// DESKTOP_STARTUP_ID (X11).
std::string own_activation_token();
// Makes the token the one Qt uses for the next activateWindow().
void adopt_activation_token(const std::string& token);

}  // namespace rg
