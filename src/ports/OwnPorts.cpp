#include "OwnPorts.h"

#include "BoundedCall.h"
#include "HandOver.h"
#include "MidiLog.h"
#include "MidiMessage.h"
#include "OwnClient.h"
#include "OwnPortLink.h"

#include <chrono>

namespace vkv::ports {

using backendapi::Backend;
using backendapi::BoundedCall;
using backendapi::ClientName;
using backendapi::lcMidi;
using backendapi::OwnClient;
using backendapi::ownClientName;
using backendapi::OwnPortLink;
using midi::HoldQueue;
using midi::MidiInEvent;
using midi::MidiTap;
using midi::shortMessageLength;
using midi::SysExStart;
using threads::HandOver;

namespace {

constexpr int CountsLogMs = 1000;
// A client is made in a round trip and a cycle of the server; one that does not answer within
// this as the ports go is not waited for.
constexpr std::chrono::milliseconds MakingBound{3000};

} // namespace

OwnPorts::OwnPorts(QObject *parent) : QObject(parent), handOver(new HandOver(this)) {
    retry.setSingleShot(true);
    retry.setInterval(RetryMs);
    connect(&retry, &QTimer::timeout, this, &OwnPorts::makeClient);
    // What the client drops without a word to this thread (a loop, an overrun) is asked for too.
    counts.setInterval(CountsLogMs);
    connect(&counts, &QTimer::timeout, this, &OwnPorts::logCounts);
}

OwnPorts::~OwnPorts() {
    if (link)
        link->unbind();
    client.reset();
    if (!making.valid())
        return;
    // A client still being made is let go once it is, on its own when its server does not answer.
    auto pending = std::make_shared<std::future<std::unique_ptr<OwnClient>>>(std::move(making));
    BoundedCall::run(MakingBound, "own ports: making the client",
                     [pending] { pending->get().reset(); });
}

void OwnPorts::offer(Backend wantedBackend, bool on) {
    const bool was = offered();
    if (client && client->backend() != wantedBackend) {
        link->unbind();
        link.reset();
        client.reset();
        name.clear();
    }
    backend = wantedBackend;
    wanted = on && (backend == Backend::Alsa || backend == Backend::Jack);
    if (client)
        client->offer(wanted);
    else if (wanted)
        makeClient();
    if (!offered() && held.clear() > 0)
        qCInfo(lcMidi, "own ports: held messages for Knobs dropped as the ports went");
    if (offered() != was)
        emit changed();
}

bool OwnPorts::offered() const {
    return client && client->offered();
}

const std::string &OwnPorts::clientName() const {
    return name;
}

std::string OwnPorts::knobsName() const {
    return name + ":" + OwnClient::KnobsPort;
}

std::string OwnPorts::motorsName() const {
    return name + ":" + OwnClient::MotorsPort;
}

void OwnPorts::makeClient() {
    if (making.valid() || client || !wanted)
        return;
    link = std::make_shared<OwnPortLink>();
    const OwnPortLink *made = link.get();
    link->bind(
        handOver,
        [this, made] {
            if (made == link.get())
                take();
        },
        [this, made] {
            if (made == link.get())
                lost();
        });
    making = std::async(std::launch::async, &OwnClient::make, backend, link, name);
    QTimer::singleShot(0, this, &OwnPorts::takeClient);
}

void OwnPorts::takeClient() {
    if (!making.valid())
        return;
    if (making.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        QTimer::singleShot(10, this, &OwnPorts::takeClient);
        return;
    }
    client = making.get();
    if (!client) {
        link->unbind();
        link.reset();
        // A JACK server may come; the sequencer, once not there, does not.
        if (backend == Backend::Jack && wanted) {
            if (!retry.isActive())
                qCDebug(lcMidi, "own ports: no JACK server; looked for every %d ms", RetryMs);
            retry.start();
        }
        return;
    }
    const std::string &made = client->name();
    if (!name.empty() && made != name)
        qCWarning(lcMidi, "own ports: offered as \"%s\" now: \"%s\" is another client's",
                  made.c_str(), name.c_str());
    else if (made != ownClientName(1))
        qCInfo(lcMidi, "own ports: offered as \"%s\": \"%s\" is another instance's", made.c_str(),
               ClientName);
    else
        qCInfo(lcMidi, "own ports: offered as \"%s\"", made.c_str());
    name = made;
    splitter.reset();
    counts.start();
    if (!wanted)
        client->offer(false); // taken away while it was being made
    emit changed();
}

void OwnPorts::lost() {
    qCWarning(lcMidi, "own ports: the JACK server went away; \"%s\" comes back with it",
              name.c_str());
    if (!client && making.valid())
        client = making.get(); // it went as the client was being made: the making is over
    if (client)
        client->abandon();
    link->unbind();
    link.reset();
    client.reset();
    if (held.clear() > 0)
        qCInfo(lcMidi, "own ports: held messages for Knobs dropped as the ports went");
    emit changed();
    if (wanted)
        retry.start();
}

bool OwnPorts::Put(char status, char data1, char data2) {
    if (!offered())
        return false;
    const unsigned char message[3] = {static_cast<unsigned char>(status),
                                      static_cast<unsigned char>(data1),
                                      static_cast<unsigned char>(data2)};
    const int length = shortMessageLength(message[0]);
    if (length == 0)
        return false;
    if (!holding)
        return send(message, static_cast<std::size_t>(length));
    held.add(message, static_cast<std::size_t>(length));
    return true;
}

bool OwnPorts::send(const unsigned char *bytes, std::size_t length) {
    if (!client->send(bytes, length))
        return false; // said in the log by the client
    // What nobody reads never went out.
    if (tap_ && client->hasReaders())
        tap_->passed(MidiTap::Direction::Out, knobsName(), MidiTap::Piece::Message, bytes, length);
    return true;
}

void OwnPorts::HoldMessages(bool hold) {
    holding = hold;
    if (hold)
        return;
    if (const std::string summary = held.summary(); !summary.empty())
        qCInfo(lcMidi, "own ports: Knobs %s", summary.c_str());
    for (const HoldQueue::Message &message : held.take())
        if (offered())
            send(message.bytes.data(), message.bytes.size());
}

void OwnPorts::take() {
    OwnPortLink::Taken taken = link->take();
    dropped += taken.dropped;
    std::vector<MidiInEvent> events;
    std::size_t at = 0;
    for (const std::size_t size : taken.sizes) {
        splitter.split(taken.bytes.data() + at, size, events);
        at += size;
    }
    const std::string motors = motorsName();
    // A handler may take the ports away: nothing more of them is raised then.
    for (std::size_t i = 0; i < events.size() && offered(); ++i) {
        if (tap_)
            tap_->passedIn(motors, events[i]);
        raise(events[i]);
    }
}

void OwnPorts::raise(MidiInEvent &event) {
    if (event.broken)
        return; // of a SysEx, which is ignored anyway
    if (event.sysEx) {
        if (!event.bytes.empty() && event.bytes.front() == SysExStart)
            ++ignoredSysEx;
        return;
    }
    if (!OnShort)
        return;
    auto handler = OnShort; // a handler may reassign it
    handler(this, event.bytes[0], event.bytes[1], event.bytes[2]);
}

void OwnPorts::logCounts() {
    if (client) {
        loopedBack += client->takeLoopedBack();
        overruns += client->takeOverruns();
    }
    if (ignoredSysEx != ignoredLogged) {
        qCInfo(lcMidi,
               "own ports: %zu SysEx messages written to Motors ignored so far (it takes "
               "short messages only)",
               ignoredSysEx);
        ignoredLogged = ignoredSysEx;
    }
    if (loopedBack > 0)
        qCWarning(lcMidi,
                  "own ports: %zu messages on Motors dropped while Knobs is connected straight to "
                  "it: they would echo without end",
                  std::exchange(loopedBack, 0));
    if (overruns > 0)
        qCWarning(lcMidi, "own ports: Motors' queue overran %zu times; what it held was lost",
                  std::exchange(overruns, 0));
    if (dropped > 0)
        qCWarning(lcMidi, "own ports: %zu messages on Motors dropped: the program fell behind",
                  std::exchange(dropped, 0));
}

} // namespace vkv::ports
