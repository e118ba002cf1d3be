#include "JackKeptClients.h"

#include "ExitDeadline.h"

#include <RtMidi.h>
#include <csignal>
#include <cstdlib>
#include <jack/jack.h>
#include <mutex>
#include <vector>

namespace vkv::jack {

namespace {

// JACK port objects kept until the process ends, then closed in order: clients left open at
// exit make the server stall every new client for a second or two while it notices they died.
// A client of the program's own brings the word its shutdown callback leaves when its server goes;
// a port object (whose client says nothing) is kept with the count of JACK server losses when it
// was kept: one kept before the latest loss may belong to the server that went away. Closing a
// client whose server is gone faults inside libjack: those are never closed (see abandon()).
template <typename T> struct Kept {
    T port;
    unsigned losses;
    ServerGone serverGone = nullptr; // the client's own word, where it has one
    bool serverWent(unsigned lossesNow) const {
        return serverGone ? serverGone->load() : losses != lossesNow;
    }
};
std::atomic<unsigned> jackServerLosses{0};

struct KeptPorts {
    std::mutex mutex;
    std::vector<Kept<std::unique_ptr<RtMidiIn>>> inputs;
    std::vector<Kept<std::unique_ptr<RtMidiOut>>> outputs;
    std::vector<std::shared_ptr<void>> callbackData;
    std::vector<Kept<jack_client_t *>> watchClients;
    std::vector<std::unique_ptr<RtMidiIn>> deadInputs;
    std::vector<std::unique_ptr<RtMidiOut>> deadOutputs;
    std::vector<jack_client_t *> deadClients;
};

KeptPorts &keptPorts();

volatile std::sig_atomic_t exitCodeAtClose = 0;
// Closing a client takes some milliseconds; the server notices the clients of a process that
// ended without closing them by itself.
constexpr std::chrono::milliseconds CloseBound{3000};

// See closeKeptPorts: a fault inside libjack's teardown ends the already-ending process quietly.
extern "C" void faultWhileClosing(int) {
    std::_Exit(exitCodeAtClose);
}

void closeKeptPortsAtExit() {
    closeKeptPorts(0);
}

KeptPorts &keptPorts() {
    static auto *kept = new KeptPorts;
    static const bool registered = (std::atexit(&closeKeptPortsAtExit), true);
    (void)registered;
    return *kept;
}

void store(KeptPorts &kept, std::unique_ptr<RtMidiIn> port) {
    kept.inputs.push_back({std::move(port), jackServerLosses});
}
void store(KeptPorts &kept, std::unique_ptr<RtMidiOut> port) {
    kept.outputs.push_back({std::move(port), jackServerLosses});
}

} // namespace

void closeKeptPorts(int exitCode) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    if (kept.inputs.empty() && kept.outputs.empty() && kept.watchClients.empty())
        return;
    // libjack cancels a closing client's notification thread at any instruction; caught while it
    // holds libjack's own lock, it leaves every later close waiting for it for ever.
    const threads::ExitDeadline deadline(CloseBound, exitCode, "closing the JACK clients");
    exitCodeAtClose = exitCode;
    struct sigaction quiet {
    }, oldSegv{}, oldBus{};
    quiet.sa_handler = &faultWhileClosing;
    sigemptyset(&quiet.sa_mask);
    sigaction(SIGSEGV, &quiet, &oldSegv);
    sigaction(SIGBUS, &quiet, &oldBus);
    // Inputs first, so no callback runs while the rest goes; their data last.
    const unsigned losses = jackServerLosses;
    for (auto &input : kept.inputs)
        if (input.serverWent(losses))
            kept.deadInputs.push_back(std::move(input.port));
    kept.inputs.clear();
    for (auto &output : kept.outputs)
        if (output.serverWent(losses))
            kept.deadOutputs.push_back(std::move(output.port));
    kept.outputs.clear();
    for (const auto &client : kept.watchClients) {
        if (client.serverWent(losses))
            kept.deadClients.push_back(client.port);
        else
            jack_client_close(client.port);
    }
    kept.watchClients.clear();
    if (kept.deadInputs.empty() && kept.deadClients.empty())
        kept.callbackData.clear(); // a dead client's callbacks keep their data
    sigaction(SIGSEGV, &oldSegv, nullptr);
    sigaction(SIGBUS, &oldBus, nullptr);
}

void keepUntilExit(std::unique_ptr<RtMidiOut> port) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    store(kept, std::move(port));
}
void keepUntilExit(std::unique_ptr<RtMidiIn> port) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    store(kept, std::move(port));
}

void abandon(std::unique_ptr<RtMidiOut> port) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    kept.deadOutputs.push_back(std::move(port));
}
void abandon(std::unique_ptr<RtMidiIn> port, std::shared_ptr<void> callbackData) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    kept.deadInputs.push_back(std::move(port));
    kept.callbackData.push_back(std::move(callbackData));
}

void keepCallbackData(std::shared_ptr<void> callbackData) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    kept.callbackData.push_back(std::move(callbackData));
}

void keepUntilExit(jack_client_t *client, std::shared_ptr<void> callbackData,
                   ServerGone serverGone) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    kept.watchClients.push_back({client, jackServerLosses, std::move(serverGone)});
    kept.callbackData.push_back(std::move(callbackData));
}

void abandon(jack_client_t *client, std::shared_ptr<void> callbackData) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    kept.deadClients.push_back(client);
    kept.callbackData.push_back(std::move(callbackData));
}

void countServerLoss() {
    ++jackServerLosses;
}

} // namespace vkv::jack
