#include "MidiBackend.h"

#include "ExitDeadline.h"
#include "HandOver.h"
#include "MidiLog.h"
#include "ThreadSanitizer.h"

#include <RtMidi.h>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <jack/jack.h>
#include <mutex>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace vkv::midi {

const char *const ClientName = "Virtual Korvane Vela";
const char *const OutClientName = "vkvela MIDI OUT";
const char *const InClientName = "vkvela MIDI IN";
const char *const WatchClientName = "vkvela watch";

std::string ownClientName(int instance) {
    return instance <= 1 ? std::string(ClientName)
                         : std::string(ClientName) + " " + std::to_string(instance);
}

namespace {

constexpr auto SequencerDevice = "/dev/snd/seq";

// RtMidi prints warnings on stderr and throws errors unless a callback is set: both are logged
// here, and errors are kept for the port to judge its call by.
void collectErrors(RtMidiError::Type type, const std::string &text, void *userData) {
    auto *sink = static_cast<ErrorSink *>(userData);
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) {
        qCDebug(lcMidi, "back end: %s", text.c_str());
        if (sink && type == RtMidiError::WARNING) {
            sink->warned = true;
            sink->text = text;
        }
        return;
    }
    qCWarning(lcMidi, "back end error: %s", text.c_str());
    sink->failed = true;
    sink->text = text;
}

template <typename Port> const char *clientNameOf();
template <> const char *clientNameOf<RtMidiOut>() {
    return OutClientName;
}
template <> const char *clientNameOf<RtMidiIn>() {
    return InClientName;
}

template <typename Port>
std::unique_ptr<Port> create(Backend wanted, Backend *chosen, ErrorSink *sink) {
    const Backend order[] = {Backend::Alsa, Backend::Jack};
    for (Backend b : order) {
        if (wanted != Backend::Auto && wanted != b)
            continue;
        const auto api = b == Backend::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
        // Without the sequencer's device, libasound and RtMidi would each print their failure on
        // the standard error stream before it could be caught: noise on every run of a
        // JACK-only machine, mailed home by every cron job that runs the command line.
        if (b == Backend::Alsa && ::access(SequencerDevice, F_OK) != 0) {
            qCDebug(lcMidi, "ALSA sequencer not available: no %s", SequencerDevice);
            continue;
        }
        try {
            auto port = std::make_unique<Port>(api, clientNameOf<Port>());
            port->setErrorCallback(&collectErrors, sink);
            if (chosen)
                *chosen = b;
            return port;
        } catch (const RtMidiError &e) {
            // This service is not there; try the next one.
            qCInfo(lcMidi, "%s not available: %s", b == Backend::Alsa ? "ALSA sequencer" : "JACK",
                   e.getMessage().c_str());
        }
    }
    if (chosen)
        *chosen = Backend::None;
    return nullptr;
}

template <typename Port> std::vector<std::string> names(Port &port) {
    std::vector<std::string> result;
    try {
        const unsigned count = port.getPortCount();
        for (unsigned i = 0; i < count; ++i)
            result.push_back(port.getPortName(i));
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "cannot list ports: %s", e.getMessage().c_str());
        result.clear();
    }
    return result;
}

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

template <typename Port> void retirePort(std::unique_ptr<Port> port, Backend backend) {
    if (!port)
        return;
    try {
        port->closePort();
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "closing a retired port: %s", e.getMessage().c_str());
    }
    if (backend != Backend::Jack)
        return; // destroyed here
    keepUntilExit(std::move(port));
}

} // namespace

void closeKeptPorts(int exitCode) {
    KeptPorts &kept = keptPorts();
    std::lock_guard lock(kept.mutex);
    if (kept.inputs.empty() && kept.outputs.empty() && kept.watchClients.empty())
        return;
    // libjack cancels a closing client's notification thread at any instruction; caught while it
    // holds libjack's own lock, it leaves every later close waiting for it for ever.
    const ExitDeadline deadline(CloseBound, exitCode, "closing the JACK clients");
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

void retire(std::unique_ptr<RtMidiOut> port, Backend backend) {
    retirePort(std::move(port), backend);
}
void retire(std::unique_ptr<RtMidiIn> port, Backend backend) {
    if (port)
        port->cancelCallback();
    retirePort(std::move(port), backend);
}

void retire(std::unique_ptr<RtMidiIn> port, Backend backend, std::shared_ptr<void> callbackData) {
    // The callback stays set: cancelling it races with a JACK process thread that is about to
    // call it, while a callback whose data lives on is harmless.
    const bool kept = port && backend == Backend::Jack;
    retirePort(std::move(port), backend);
    if (!kept)
        return; // the port is gone, and its callback with it
    KeptPorts &ports = keptPorts();
    std::lock_guard lock(ports.mutex);
    ports.callbackData.push_back(std::move(callbackData));
}

void reportTo(RtMidiOut &port, ErrorSink *sink) {
    port.setErrorCallback(&collectErrors, sink);
}
void reportTo(RtMidiIn &port, ErrorSink *sink) {
    port.setErrorCallback(&collectErrors, sink);
}

PreparedOutput::PreparedOutput() = default;
PreparedOutput::PreparedOutput(PreparedOutput &&) noexcept = default;
PreparedOutput &PreparedOutput::operator=(PreparedOutput &&) noexcept = default;
PreparedOutput::~PreparedOutput() {
    retire(std::move(port), backend);
}
PreparedInput::PreparedInput() = default;
PreparedInput::PreparedInput(PreparedInput &&) noexcept = default;
PreparedInput &PreparedInput::operator=(PreparedInput &&) noexcept = default;
PreparedInput::~PreparedInput() {
    retire(std::move(port), backend);
}

namespace {

template <class Prepared, class Port>
Prepared prepare(Backend wanted, std::unique_ptr<Port> (*create)(Backend, Backend *, ErrorSink *),
                 std::vector<std::string> (*list)(Port &)) {
    Prepared prepared;
    prepared.errors = std::make_unique<ErrorSink>();
    prepared.port = create(wanted, &prepared.backend, prepared.errors.get());
    if (prepared.port)
        prepared.names = list(*prepared.port);
    if (prepared.backend == Backend::Jack)
        prepared.watch = std::make_unique<JackServerWatch>();
    return prepared;
}

} // namespace

// Shared with libjack's thread, which calls shutDown; outlives the watch while libjack may.
struct JackServerWatch::State {
    std::mutex mutex;
    HandOver *handOver = nullptr; // null until bound, and again once the watch is gone
    std::function<void()> lost;
    bool gone = false; // the server went away, perhaps before the watch was bound
};

namespace {

// One client watches a server for every port of the process: each client is one more entry in
// the user's JACK graph, and one more round trip at start-up. Shared with libjack's thread.
struct WatchClient {
    std::mutex mutex;
    std::vector<std::weak_ptr<JackServerWatch::State>> watches;
    std::atomic<bool> gone{false}; // written under the lock; read at exit without it
    jack_client_t *client = nullptr;
    // libjack's thread of a client whose server went away is never joined (such clients are never
    // closed): taking the lock once more orders its last word in shutDown before the free.
    ~WatchClient() { SeenLock lock(mutex); }
};

void shutDown(jack_status_t, const char *reason, void *data) {
    auto *client = static_cast<WatchClient *>(data);
    qCWarning(lcMidi, "the JACK server went away: %s", reason ? reason : "");
    ++jackServerLosses;
    SeenLock lock(client->mutex);
    client->gone = true;
    for (const auto &watch : client->watches) {
        const auto state = watch.lock();
        if (!state)
            continue;
        SeenLock stateLock(state->mutex);
        state->gone = true;
        if (state->handOver && state->lost)
            state->handOver->post(std::exchange(state->lost, {}));
    }
}

// The client watching the server libjack connects to now; a new one once that server went away.
// Null when no server can be reached.
std::shared_ptr<WatchClient> currentWatchClient() {
    static std::mutex mutex;
    static std::shared_ptr<WatchClient> current;
    std::lock_guard lock(mutex);
    if (current) {
        SeenLock clientLock(current->mutex);
        if (!current->gone)
            return current;
    }
    current.reset();
    // Made before the client, whose thread uses it: the thread's start orders the two.
    auto watcher = std::make_shared<WatchClient>();
    jack_status_t status{};
    jack_client_t *client = jack_client_open(WatchClientName, JackNoStartServer, &status);
    if (!client)
        return nullptr;
    // Not activated: libjack's thread that tells of the shutdown runs from the open on, and an
    // activation would wait for the server's next cycle.
    jack_on_info_shutdown(client, &shutDown, watcher.get());
    watcher->client = client;
    current = watcher;
    KeptPorts &kept = keptPorts();
    std::lock_guard keptLock(kept.mutex);
    kept.watchClients.push_back({client, jackServerLosses, ServerGone(watcher, &watcher->gone)});
    kept.callbackData.push_back(std::move(watcher)); // libjack may call shutDown until the close
    return current;
}

} // namespace

jack_client_t *jackWatchClient() {
    const std::shared_ptr<WatchClient> watcher = currentWatchClient();
    return watcher ? watcher->client : nullptr;
}

PreparedOutput prepareOutput(Backend wanted) {
    return prepare<PreparedOutput>(wanted, &createOutput, &outputPortNames);
}

PreparedInput prepareInput(Backend wanted) {
    return prepare<PreparedInput>(wanted, &createInput, &inputPortNames);
}

PortsInPreparation prepareBoth(Backend wanted) {
    return {std::async(std::launch::async, &prepareOutput, wanted),
            std::async(std::launch::async, &prepareInput, wanted)};
}

JackServerWatch::JackServerWatch() {
    const std::shared_ptr<WatchClient> client = currentWatchClient();
    if (!client)
        return;
    state = std::make_shared<State>();
    SeenLock lock(client->mutex);
    state->gone = client->gone; // went away just now
    client->watches.push_back(state);
}

void JackServerWatch::bind(HandOver *handOver, std::function<void()> lost) {
    if (!state)
        return;
    SeenLock lock(state->mutex);
    if (state->gone) {
        handOver->post(std::move(lost)); // it went while nobody listened
        return;
    }
    state->handOver = handOver;
    state->lost = std::move(lost);
}

JackServerWatch::~JackServerWatch() {
    if (!state)
        return;
    SeenLock lock(state->mutex);
    state->handOver = nullptr;
    state->lost = {};
}

std::unique_ptr<RtMidiOut> createOutput(Backend wanted, Backend *chosen, ErrorSink *sink) {
    return create<RtMidiOut>(wanted, chosen, sink);
}
std::unique_ptr<RtMidiIn> createInput(Backend wanted, Backend *chosen, ErrorSink *sink) {
    return create<RtMidiIn>(wanted, chosen, sink);
}
std::vector<std::string> outputPortNames(RtMidiOut &out) {
    return names(out);
}
std::vector<std::string> inputPortNames(RtMidiIn &in) {
    return names(in);
}

namespace {

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// `client` is `name`, or `name` followed by `separator` and a number.
bool isNamed(std::string_view client, std::string_view name, char separator) {
    if (client.substr(0, name.size()) != name)
        return false;
    const std::string_view rest = client.substr(name.size());
    return rest.empty() || (rest.front() == separator && allDigits(rest.substr(1)));
}

} // namespace

bool isOwnPort(const std::string &portName) {
    const std::string_view client = std::string_view(portName).substr(0, portName.find(':'));
    // The own ports' clients of every instance: "Virtual Korvane Vela", "Virtual Korvane Vela 2".
    if (isNamed(client, ClientName, ' '))
        return true;
    for (const char *name : {OutClientName, InClientName, WatchClientName})
        if (isNamed(client, name, '-'))
            return true;
    return false;
}

int listDevices(const std::vector<std::string> &names, std::array<DeviceCaps, MaxDevs> &caps,
                std::array<ListedDevice, MaxDevs> &listed) {
    int count = 0;
    for (std::size_t i = 0; i < names.size() && count < MaxDevs; ++i) {
        if (isOwnPort(names[i]))
            continue;
        listed[count] = {names[i], static_cast<int>(i)};
        std::memset(caps[count].szPname, 0, sizeof caps[count].szPname);
        std::strncpy(caps[count].szPname, names[i].c_str(), sizeof caps[count].szPname - 1);
        ++count;
    }
    return count;
}

int findPort(const std::vector<std::string> &now, const ListedDevice &listed) {
    if (listed.index >= 0 && listed.index < static_cast<int>(now.size()) &&
        now[listed.index] == listed.name)
        return listed.index;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (now[i] == listed.name)
            return static_cast<int>(i);
    return -1;
}

bool relistDevices(const std::vector<std::string> &names, std::array<DeviceCaps, MaxDevs> &caps,
                   std::array<ListedDevice, MaxDevs> &listed, int &count, int &open,
                   std::string &gone) {
    std::array<DeviceCaps, MaxDevs> newCaps{};
    std::array<ListedDevice, MaxDevs> newListed{};
    const int newCount = listDevices(names, newCaps, newListed);
    bool changed = newCount != count;
    for (int n = 0; n < newCount && !changed; ++n)
        changed = newListed[n].name != listed[n].name;
    if (!changed)
        return false;
    int newOpen = -1;
    if (open >= 0 && open < count) {
        for (int n = 0; n < newCount && newOpen < 0; ++n)
            if (newListed[n].name == listed[open].name)
                newOpen = n;
        if (newOpen < 0)
            gone = listed[open].name;
    }
    caps = newCaps;
    listed = newListed;
    count = newCount;
    open = newOpen;
    return true;
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

} // namespace vkv::midi
