#include "shell/termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace rg {

namespace {

// One program-wide pair: [0] written by the handler, [1] read by the notifier.
int g_pair[2] = {-1, -1};
constexpr int kHandled[] = {SIGTERM, SIGINT, SIGHUP};

void on_signal(int signal) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pair[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (g_pair[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pair) != 0)
        return;
    notifier_ = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        if (::read(g_pair[1], &byte, 1) == 1)
            emit received(byte);
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kHandled)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (notifier_ == nullptr)
        return;
    for (int signal : kHandled)
        std::signal(signal, SIG_DFL);
    ::close(g_pair[0]);
    ::close(g_pair[1]);
    g_pair[0] = g_pair[1] = -1;
}

}  // namespace rg
