#include "shell/controller_pump.h"

#include "engine/messages.h"

namespace rg {

ControllerPump::ControllerPump(Controller& controller, QObject* parent)
    : QObject(parent), controller_(controller), wake_(std::make_shared<WakeState>()) {
    wake_->target = this;
    std::weak_ptr<WakeState> weak = wake_;
    controller_.on_message_queued = [weak] {
        const auto state = weak.lock();
        if (!state || state->pending.exchange(true))
            return;
        ControllerPump* target = state->target.load();
        if (target != nullptr)
            QMetaObject::invokeMethod(
                target, [target] { target->serve(); }, Qt::QueuedConnection);
    };
    const std::pair<QTimer*, TimerId> timers[] = {{&repaint_, TimerId::Repaint},
                                                  {&save_, TimerId::SaveList},
                                                  {&auto_download_, TimerId::AutoDownload},
                                                  {&schedule_, TimerId::Schedule},
                                                  {&receive_timeout_, TimerId::ReceiveTimeout}};
    const std::pair<TimerId, std::uint32_t> periods[] = {
        {TimerId::Repaint, kRepaintPeriodMs},
        {TimerId::SaveList, kSaveListPeriodMs},
        {TimerId::AutoDownload, kAutoDownloadPeriodMs},
        {TimerId::Schedule, kSchedulePeriodMs},
        {TimerId::ReceiveTimeout, kReceiveTimeoutPeriodMs}};
    for (std::size_t i = 0; i < std::size(timers); ++i) {
        auto [timer, id] = timers[i];
        timer->setInterval(static_cast<int>(periods[i].second));
        timer->setTimerType(Qt::CoarseTimer);
        connect(timer, &QTimer::timeout, this, [this, id = id] { on_timer(id); });
    }
}

ControllerPump::~ControllerPump() {
    // A worker still ending may call the hook: it finds no target and does nothing.
    wake_->target = nullptr;
}

QTimer& ControllerPump::timer(TimerId id) {
    switch (id) {
        case TimerId::Repaint:
            return repaint_;
        case TimerId::SaveList:
            return save_;
        case TimerId::AutoDownload:
            return auto_download_;
        case TimerId::Schedule:
            return schedule_;
        case TimerId::ReceiveTimeout:
            return receive_timeout_;
    }
    return repaint_;
}

void ControllerPump::start_timers() {
    repaint_.start();
    save_.start();
    schedule_.start();
    receive_timeout_.start();
    follow_auto_download();
}

void ControllerPump::follow_auto_download() {
    const bool on = controller_.auto_download() && !controller_.exiting();
    if (on && !auto_download_.isActive())
        auto_download_.start();
    else if (!on && auto_download_.isActive())
        auto_download_.stop();
}

void ControllerPump::stop_timers() {
    for (QTimer* t : {&repaint_, &save_, &auto_download_, &schedule_, &receive_timeout_})
        t->stop();
}

void ControllerPump::serve() {
    // Cleared before serving: a message queued meanwhile wakes the loop again.
    wake_->pending = false;
    if (controller_.process_messages() > 0)
        emit messages_served();
}

void ControllerPump::on_timer(TimerId id) {
    if (controller_.exiting())
        return;
    if (id == TimerId::Repaint) {
        emit repaint_due();
        return;
    }
    controller_.on_timer(id);
    follow_auto_download();
}

}  // namespace rg
