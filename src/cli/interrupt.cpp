#include "cli/interrupt.h"

#include <signal.h>

#include <atomic>

namespace rg {

namespace {

std::atomic<bool> g_interrupted{false};

void on_signal(int) {
    g_interrupted = true;
}

}  // namespace

void install_interrupt_handlers() {
    struct sigaction action {};
    action.sa_handler = on_signal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() {
    return g_interrupted.load();
}

}  // namespace rg
