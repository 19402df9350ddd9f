#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace rg {

// SIGTERM, SIGINT and SIGHUP (a session that ends, a kill, Ctrl+C in a terminal) end the program
// through Qt's event loop, so that the exit saves the list as the Exit command does. The handler
// only writes a byte to a pipe; the notifier reads it on the main thread.
class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    bool installed() const { return notifier_ != nullptr; }

  signals:
    void received(int signal);

  private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace rg
