#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>

#include "engine/controller.h"

namespace rg {

// Runs the controller on Qt's main thread. A worker's message wakes the event loop through a
// queued invocation (never a poll): the controller's hook may be called from any thread, and
// several messages in a row cost one wake-up. The controller's timers 1, 3, 4, 5 and 6 are
// QTimers with their periods; timer 4 runs only while automatic downloading is on.
class ControllerPump : public QObject {
    Q_OBJECT
  public:
    explicit ControllerPump(Controller& controller, QObject* parent = nullptr);
    ~ControllerPump() override;

    // Starts the timers (the last steps of start-up).
    void start_timers();
    // Timer 4 follows automatic downloading; call after it may have changed.
    void follow_auto_download();
    void stop_timers();

    QTimer& timer(TimerId id);

  signals:
    // Timer 1: repaint the list.
    void repaint_due();
    // Messages were served: the list or the command states may have changed.
    void messages_served();

  private:
    void wake();
    void serve();
    void on_timer(TimerId id);

    Controller& controller_;
    // Shared with the hook, which may outlive this object on a worker that is ending.
    struct WakeState {
        std::atomic<bool> pending{false};
        std::atomic<ControllerPump*> target{nullptr};
    };
    std::shared_ptr<WakeState> wake_;
    QTimer repaint_;
    QTimer save_;
    QTimer auto_download_;
    QTimer schedule_;
    QTimer receive_timeout_;
};

}  // namespace rg
