#include "TMidiIn.h"

#include "HandOver.h"
#include "JackKeptClients.h"
#include "JackOpenCheck.h"
#include "JackServerWatch.h"
#include "MidiLog.h"
#include "MidiMessage.h"
#include "ThreadSanitizer.h"

#include <RtMidi.h>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>

using vkv::backendapi::Backend;
using vkv::backendapi::lcMidi;
using vkv::midi::MidiInEvent;
using vkv::ports::Result;

namespace {

// Room for a whole configuration dump (1543 bytes) in one back-end buffer.
constexpr unsigned BufferSize = 2048;
constexpr unsigned BufferCount = 4;
constexpr const char *PortName = "MIDI In"; // "<client>:MIDI In" in the JACK graph

} // namespace

// What the back end's thread sees of the port. It outlives the port object it was given to, so a
// callback that is still running while the port closes or goes away finds it intact.
// The mutex keeps a delivery and a close from overlapping. What the GUI thread hands to the back
// end's thread is atomic as well: the GUI thread often takes the lock from inside Qt's event
// handling, where the thread sanitizer does not see locks, and it then took the hand-over for a
// race.
struct TMidiIn::Link {
    std::mutex mutex;
    std::atomic<TMidiIn *> target{nullptr}; // null while closed: input is then dropped on arrival
    std::atomic<unsigned> session{0};
    std::atomic<bool> startAnew{false}; // the splitter forgets an open SysEx at the next delivery
    vkv::midi::MidiInSplitter splitter; // the back end's thread's alone
    vkv::ports::ErrorSink errors;
    // What has arrived and not yet been taken by the owner's thread, and whether that thread has
    // been asked to take it: one hand-over for a whole burst, however many messages it holds.
    std::vector<MidiInEvent> inbox;
    bool handOverPosted = false;
};

TMidiIn::TMidiIn(QObject *owner, Backend backend)
    : TMidiIn(owner, vkv::ports::prepareInput(backend)) {}

TMidiIn::TMidiIn(QObject *owner, vkv::ports::PreparedInput prepared) : MidiPort(owner) {
    adopt(std::move(prepared));
}

TMidiIn::~TMidiIn() {
    release();
}

void TMidiIn::release() {
    closeForRelease();
    if (lost_ && in_)
        vkv::jack::abandon(std::move(in_), std::move(link_));
    else
        vkv::ports::retire(std::move(in_), backend_, std::move(link_));
    lost_ = false;
}

void TMidiIn::adopt(vkv::ports::PreparedInput prepared) {
    release();
    createPort(prepared);
    listFrom(prepared.names);
}

void TMidiIn::createPort(vkv::ports::PreparedInput &prepared) {
    link_ = std::make_shared<Link>();
    in_ = std::move(prepared.port);
    backend_ = prepared.backend;
    if (!in_)
        return;
    vkv::ports::reportTo(*in_, &link_->errors);
    try {
        // Nothing filtered: SysEx carries the dumps, and clock or active sensing are short
        // messages like any other for the owner to judge.
        in_->ignoreTypes(false, false, false);
        in_->setBufferSize(BufferSize, BufferCount);
        in_->setCallback(&TMidiIn::received, link_.get());
        // The link reaches the back end's thread through RtMidi's callback data, ordered by a
        // wake-up of that thread that the thread sanitizer does not see.
        vkv::threads::syncRelease(link_.get());
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "input set-up: %s", e.getMessage().c_str());
    }
    watchService(std::move(prepared.watch));
}

std::vector<std::string> TMidiIn::backendNames() {
    return vkv::ports::inputPortNames(*in_);
}

// A new client for the service that came back; the dead one is left as it is, with its link.
void TMidiIn::renewBackend() {
    vkv::jack::abandon(std::move(in_), std::move(link_));
    vkv::ports::PreparedInput prepared = vkv::ports::prepareInput(Backend::Jack);
    createPort(prepared);
}

void TMidiIn::received(double, std::vector<unsigned char> *message, void *data) {
    // RtMidi may pass no data while a callback is being cancelled.
    auto *link = static_cast<Link *>(data);
    if (link == nullptr || message == nullptr || message->empty())
        return;
    vkv::threads::syncAcquire(link);
    try {
        vkv::threads::SeenLock lock(link->mutex);
        if (link->target == nullptr)
            return;
        if (link->startAnew.exchange(false))
            link->splitter.reset();
        link->splitter.split(message->data(), message->size(), link->inbox);
        if (link->inbox.empty() || link->handOverPosted)
            return;
        link->handOverPosted = true;
        TMidiIn *target = link->target;
        // Posted work keeps its order, and dies with the receiver if it goes first.
        target->handOver_->post(
            [target, session = link->session.load()] { target->takeInbox(session); });
    } catch (const std::exception &e) {
        // Nothing may unwind into the back end's thread; the message is lost, and said so.
        qCWarning(lcMidi, "incoming message lost: %s", e.what());
    } catch (...) {
        qCWarning(lcMidi, "incoming message lost");
    }
}

void TMidiIn::takeInbox(unsigned session) {
    std::vector<MidiInEvent> events;
    {
        vkv::threads::SeenLock lock(link_->mutex);
        if (session != link_->session)
            return; // posted before a close or a re-open: that inbox is gone
        events.swap(link_->inbox);
        link_->handOverPosted = false;
    }
    take(session, std::move(events));
}

void TMidiIn::take(unsigned session, std::vector<MidiInEvent> events) {
    if (session != session_ || !open_)
        return;
    for (auto &event : events) {
        if (tap_ && !openName().empty())
            tap_->passedIn(openName(), event);
        pending_.push_back(std::move(event));
    }
    if (delivering_)
        return; // a handler is running a nested event loop; the outer loop raises these in turn
    delivering_ = true;
    struct Done {
        bool &flag;
        ~Done() { flag = false; }
    } done{delivering_};
    // A handler may close the port, which empties the queue.
    while (!pending_.empty()) {
        MidiInEvent event = std::move(pending_.front());
        pending_.pop_front();
        raise(event);
    }
}

void TMidiIn::raise(MidiInEvent &event) {
    // Called through copies, so a handler may reassign the events without pulling the rug.
    if (event.broken) {
        qCWarning(lcMidi, "an incoming SysEx message broke off; its end was lost");
        if (!useSysEx_ || !OnSysExBroken)
            return;
        auto handler = OnSysExBroken;
        handler(this);
    } else if (event.sysEx) {
        if (!useSysEx_ || !OnSysEx)
            return;
        auto handler = OnSysEx;
        handler(this, reinterpret_cast<char *>(event.bytes.data()),
                static_cast<int>(event.bytes.size()));
    } else {
        if (!useShort_ || !OnShort)
            return;
        auto handler = OnShort;
        handler(this, event.bytes[0], event.bytes[1], event.bytes[2]);
    }
}

bool TMidiIn::openBackend(unsigned index, const std::string &name) {
    {
        vkv::threads::SeenLock lock(link_->mutex);
        link_->startAnew = true;
        link_->session = session_;
        link_->target = this;
        link_->inbox.clear();
        link_->handOverPosted = false;
    }
    link_->errors.clear();
    notAnswering_ = false;
    std::optional<vkv::jack::JackOpenCheck> check;
    if (backend_ == Backend::Jack)
        check.emplace(vkv::backendapi::InClientName, PortName, false);
    try {
        in_->openPort(index, PortName);
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "cannot open input \"%s\": %s", name.c_str(), e.getMessage().c_str());
        link_->errors.failed = true;
    }
    if (link_->errors.failed || !in_->isPortOpen())
        return false;
    if (check && !check->connected(name, vkv::jack::JackOpenCheck::Wait)) {
        notAnswering_ = true;
        return false;
    }
    return true;
}

void TMidiIn::closeDevice() {
    ++session_;
    if (link_) {
        vkv::threads::SeenLock lock(link_->mutex);
        link_->target = nullptr;
        link_->session = session_;
        link_->inbox.clear();
        link_->handOverPosted = false;
    }
    pending_.clear();
    if (!open_)
        return;
    open_ = false;
    if (lost_)
        return; // a client whose server went away has nothing to close
    try {
        in_->closePort();
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "closing the input: %s", e.getMessage().c_str());
    }
}

void TMidiIn::Prepare() {
    closeDevice();
    openResult_ = openDevice(port_);
}

void TMidiIn::UnPrepare() {
    closeDevice();
}
