#include "JackServerWatch.h"

#include "Backend.h"
#include "HandOver.h"
#include "JackKeptClients.h"
#include "MidiLog.h"
#include "ThreadSanitizer.h"

#include <atomic>
#include <jack/jack.h>
#include <mutex>
#include <utility>
#include <vector>

namespace vkv::jack {

using backendapi::lcMidi;
using threads::HandOver;
using threads::SeenLock;

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
    countServerLoss();
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
    jack_client_t *client =
        jack_client_open(backendapi::WatchClientName, JackNoStartServer, &status);
    if (!client)
        return nullptr;
    // Not activated: libjack's thread that tells of the shutdown runs from the open on, and an
    // activation would wait for the server's next cycle.
    jack_on_info_shutdown(client, &shutDown, watcher.get());
    watcher->client = client;
    current = watcher;
    // libjack may call shutDown until the close.
    ServerGone gone(watcher, &watcher->gone);
    keepUntilExit(client, std::move(watcher), std::move(gone));
    return current;
}

} // namespace

jack_client_t *jackWatchClient() {
    const std::shared_ptr<WatchClient> watcher = currentWatchClient();
    return watcher ? watcher->client : nullptr;
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

} // namespace vkv::jack
