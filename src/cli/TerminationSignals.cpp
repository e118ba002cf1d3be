#include "TerminationSignals.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vkv::cli {

namespace {

int signalPipe[2] = {-1, -1};
QPointer<QSocketNotifier> notifier;

extern "C" void onTerminationSignal(int signal) {
    const char byte = static_cast<char>(signal);
    // Only async-signal-safe calls here: the event loop does the rest.
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

void TerminationSignals::watch(QObject *owner, std::function<void(int)> handler) {
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    delete notifier;
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [handler = std::move(handler)] {
        char byte;
        if (::read(signalPipe[0], &byte, 1) == 1)
            handler(static_cast<unsigned char>(byte));
    });
    struct sigaction action {};
    action.sa_handler = &onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

} // namespace vkv::cli
