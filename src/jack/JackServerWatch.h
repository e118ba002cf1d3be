#pragma once

#include <functional>
#include <memory>

struct _jack_client; // libjack's jack_client_t

namespace vkv::threads {
class HandOver;
}

namespace vkv::jack {

// Tells when the JACK server goes away under the program's JACK clients: RtMidi says nothing, its
// clients then stay dead, and a port must be created anew once a server is back. Watches the
// server that libjack would connect to now, through a client with no ports that all watches of
// the process share; `lost` runs through `handOver` (on its thread) once, when that server stops.
// Inactive (watching() false) when no server could be reached.
class JackServerWatch {
public:
    // Watching from now on, on any thread; what to do when the server goes is bound later, on the
    // thread of `handOver`. A server that went away before that is raised at the bind.
    JackServerWatch();
    void bind(threads::HandOver *handOver, std::function<void()> lost);
    ~JackServerWatch(); // nothing is raised after this; the client is closed as the program ends
    JackServerWatch(const JackServerWatch &) = delete;
    JackServerWatch &operator=(const JackServerWatch &) = delete;
    bool watching() const { return state != nullptr; }

    struct State; // shared with libjack's thread

private:
    std::shared_ptr<State> state;
};

// The client of the program's own that watches the JACK server libjack connects to now, made
// when there is none: for asking that server what no port object asks (its ports, connections).
// Kept until the process ends; null when no server can be reached.
_jack_client *jackWatchClient();

} // namespace vkv::jack
