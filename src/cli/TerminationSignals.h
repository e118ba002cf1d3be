#pragma once

#include <functional>

class QObject;

namespace vkv::cli {

// SIGTERM, SIGINT and SIGHUP (a logout, a kill, Ctrl+C in a terminal) handed to the event loop
// instead of ending the process on the spot, so the program ends the normal way: its MIDI clients
// are closed, and a JACK server does not stall the next program that connects while it waits for
// a client that died.
class TerminationSignals {
public:
    // From now on each of those signals calls `handler` with its number, on `owner`'s thread
    // from its event loop. One handler for the process: a later call replaces it.
    static void watch(QObject *owner, std::function<void(int signal)> handler);
};

} // namespace vkv::cli
