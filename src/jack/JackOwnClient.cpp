#include "JackOwnClient.h"

#include "BoundedCall.h"
#include "JackKeptClients.h"
#include "MidiLog.h"
#include "OwnPortLink.h"
#include "ThreadSanitizer.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <atomic>

namespace vkv::jack {

using backendapi::Backend;
using backendapi::BoundedCall;
using backendapi::lcMidi;
using backendapi::OwnClient;
using backendapi::OwnPortLink;
using threads::syncAcquire;
using threads::syncRelease;

namespace {

// Room for some thousand knob messages: several seconds of the fastest turning, cycles of tens of
// milliseconds apart.
constexpr std::size_t KnobsRoom = 16384;
constexpr std::size_t MaxMessage = 255; // a message's length is kept in one byte
// Taking the ports away is a round trip to the server, which waits for its next cycle; a server
// that does not answer within this is not waited for.
constexpr std::chrono::milliseconds TakeAwayBound{3000};

} // namespace

// What libjack's threads use: given to its callbacks, it lives as long as the client may call them.
struct JackOwnClient::Shared {
    std::shared_ptr<OwnPortLink> link;
    jack_ringbuffer_t *toKnobs = jack_ringbuffer_create(KnobsRoom); // the owner writes, cycles read
    std::atomic<jack_port_t *> knobs{nullptr};
    std::atomic<jack_port_t *> motors{nullptr};
    std::atomic<bool> looped{false}; // Knobs is connected straight to Motors
    std::atomic<std::size_t> loopedBack{0};
    // Set by libjack as the server goes, read wherever the client would be closed: a client whose
    // server went away is never closed, whether its owner heard of it or not.
    std::atomic<bool> serverGone{false};

    explicit Shared(std::shared_ptr<OwnPortLink> link) : link(std::move(link)) {}
    ~Shared() {
        if (toKnobs)
            jack_ringbuffer_free(toKnobs);
    }
    Shared(const Shared &) = delete;
    Shared &operator=(const Shared &) = delete;
};

namespace {

using Shared = JackOwnClient::Shared;

// Each message waiting for Knobs goes out at the start of the cycle; those that do not fit in the
// port's buffer wait for the next one.
void writeKnobs(Shared &s, jack_port_t *knobs, jack_nframes_t frames) {
    void *buffer = jack_port_get_buffer(knobs, frames);
    jack_midi_clear_buffer(buffer);
    syncAcquire(s.toKnobs); // the ring buffer orders its threads in libjack, unseen
    unsigned char size = 0;
    while (jack_ringbuffer_peek(s.toKnobs, reinterpret_cast<char *>(&size), 1) == 1 &&
           jack_ringbuffer_read_space(s.toKnobs) >= 1u + size) {
        jack_midi_data_t *out = jack_midi_event_reserve(buffer, 0, size);
        if (out == nullptr)
            return;
        jack_ringbuffer_read_advance(s.toKnobs, 1);
        jack_ringbuffer_read(s.toKnobs, reinterpret_cast<char *>(out), size);
    }
}

void readMotors(Shared &s, jack_port_t *motors, jack_nframes_t frames) {
    void *buffer = jack_port_get_buffer(motors, frames);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        if (s.looped.load(std::memory_order_relaxed))
            ++s.loopedBack;
        else
            s.link->deliver(event.buffer, event.size);
    }
}

int process(jack_nframes_t frames, void *data) {
    auto &s = *static_cast<Shared *>(data);
    syncAcquire(&s);
    if (jack_port_t *knobs = s.knobs.load(std::memory_order_acquire))
        writeKnobs(s, knobs, frames);
    if (jack_port_t *motors = s.motors.load(std::memory_order_acquire))
        readMotors(s, motors, frames);
    return 0;
}

void connected(jack_port_id_t, jack_port_id_t, int, void *data) {
    auto &s = *static_cast<Shared *>(data);
    syncAcquire(&s);
    jack_port_t *knobs = s.knobs.load();
    jack_port_t *motors = s.motors.load();
    s.looped = knobs && motors && jack_port_connected_to(knobs, jack_port_name(motors));
}

void shutDown(jack_status_t, const char *, void *data) {
    syncAcquire(data);
    auto &s = *static_cast<Shared *>(data);
    s.serverGone = true;
    s.link->lost(); // nothing when its owner is gone
}

} // namespace

std::unique_ptr<JackOwnClient> JackOwnClient::make(std::shared_ptr<OwnPortLink> link,
                                                   const std::string &wanted) {
    auto shared = std::make_shared<Shared>(std::move(link));
    if (!shared->toKnobs)
        return nullptr;
    for (const std::string &name : candidateNames(wanted)) {
        // A name in use gets a number from JACK: that client goes, and the next name is tried.
        // (Asked for by its exact name instead, a client in use fails just as no server does.)
        jack_status_t status{};
        jack_client_t *client = jack_client_open(name.c_str(), JackNoStartServer, &status);
        if (client == nullptr)
            return nullptr; // no server now
        if (name != jack_get_client_name(client)) {
            jack_client_close(client);
            continue;
        }
        // Callbacks are set before the activation, which alone makes the server call them. What
        // they are given reaches libjack's threads by ways the thread sanitizer does not see.
        syncRelease(shared.get());
        jack_set_process_callback(client, &process, shared.get());
        jack_set_port_connect_callback(client, &connected, shared.get());
        jack_on_info_shutdown(client, &shutDown, shared.get());
        std::unique_ptr<JackOwnClient> own(new JackOwnClient(name, client, std::move(shared)));
        if (!own->offer(true))
            return nullptr;
        return own;
    }
    qCWarning(lcMidi, "own ports: every own client name is taken on the JACK server");
    return nullptr;
}

JackOwnClient::JackOwnClient(std::string name, jack_client_t *client,
                             std::shared_ptr<Shared> shared)
    : OwnClient(Backend::Jack, std::move(name)), client(client), shared(std::move(shared)) {}

JackOwnClient::~JackOwnClient() {
    offer(false);
    if (gone()) {
        vkv::jack::abandon(client, shared);
        return;
    }
    keepUntilExit(client, shared, ServerGone(shared, &shared->serverGone));
}

bool JackOwnClient::gone() const {
    return dead || unanswered || shared->serverGone;
}

bool JackOwnClient::offer(bool on) {
    if (on == offered_)
        return true;
    if (!on) {
        jack_port_t *knobs = shared->knobs.exchange(nullptr);
        jack_port_t *motors = shared->motors.exchange(nullptr);
        shared->looped = false;
        offered_ = false;
        if (gone())
            return true; // nothing to take away from a server that went
        // Out of the cycle first: no cycle may be using a port as it goes. The ring buffer goes
        // empty once no cycle reads it: nothing of before goes out once offered again.
        jack_client_t *own = client;
        const std::shared_ptr<Shared> kept = shared;
        if (!BoundedCall::run(TakeAwayBound, "own ports: taking the JACK ports away",
                              [own, kept, knobs, motors] {
                                  jack_deactivate(own);
                                  jack_port_unregister(own, knobs);
                                  jack_port_unregister(own, motors);
                                  jack_ringbuffer_reset(kept->toKnobs);
                              }))
            unanswered = true; // in whatever state the server left it: never used or closed again
        return true;
    }
    if (gone())
        return fail(unanswered ? "the JACK server does not answer" : "the JACK server went away");
    // Active before the ports are there: JACK refuses to connect a port of an inactive client,
    // and peers connect as soon as a port is announced.
    if (jack_activate(client) != 0)
        return fail("cannot activate the client");
    const unsigned long device = JackPortIsPhysical | JackPortIsTerminal;
    jack_port_t *knobs =
        jack_port_register(client, KnobsPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput | device, 0);
    jack_port_t *motors =
        jack_port_register(client, MotorsPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput | device, 0);
    if (knobs == nullptr || motors == nullptr) {
        jack_deactivate(client);
        if (knobs)
            jack_port_unregister(client, knobs);
        if (motors)
            jack_port_unregister(client, motors);
        return fail("cannot register the ports");
    }
    shared->knobs = knobs;
    shared->motors = motors;
    offered_ = true;
    return true;
}

bool JackOwnClient::send(const unsigned char *bytes, std::size_t length) {
    if (!offered_)
        return fail("the ports are not offered");
    if (length == 0 || length > MaxMessage)
        return fail("a message of " + std::to_string(length) + " bytes");
    if (jack_ringbuffer_write_space(shared->toKnobs) < 1 + length)
        return fail("Knobs' messages wait for the server's cycles, and there is no more room");
    const auto size = static_cast<char>(length);
    jack_ringbuffer_write(shared->toKnobs, &size, 1);
    jack_ringbuffer_write(shared->toKnobs, reinterpret_cast<const char *>(bytes), length);
    syncRelease(shared->toKnobs);
    error_.clear();
    return true;
}

bool JackOwnClient::hasReaders() {
    jack_port_t *knobs = shared->knobs.load();
    return knobs != nullptr && jack_port_connected(knobs) > 0;
}

std::size_t JackOwnClient::takeLoopedBack() {
    return shared->loopedBack.exchange(0);
}

bool JackOwnClient::fail(const std::string &what) {
    if (what != error_)
        qCWarning(lcMidi, "own ports: %s", what.c_str());
    error_ = what;
    return false;
}

} // namespace vkv::jack
