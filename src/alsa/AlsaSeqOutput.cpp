#include "AlsaSeqOutput.h"

#include "Backend.h"

#include <alsa/asoundlib.h>

#include <QLoggingCategory>
#include <cerrno>
#include <chrono>
#include <thread>

namespace vkv::alsa {

using backendapi::OutClientName;

namespace {

Q_LOGGING_CATEGORY(lcAlsaOut, "vkv.midi.alsa")

// How long one event may wait for room in the destination's queue. A receiver that reads at all
// frees room within milliseconds; one that waits this long has stopped reading.
constexpr auto MaxWait = std::chrono::milliseconds(2000);
constexpr auto RetryPause = std::chrono::milliseconds(1);

// The ports RtMidi lists as outputs: writable and subscribable, of MIDI, synth or application
// type, on any client but the system's.
bool listedAsOutput(const snd_seq_port_info_t *info) {
    const unsigned type = snd_seq_port_info_get_type(info);
    if ((type & (SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH |
                 SND_SEQ_PORT_TYPE_APPLICATION)) == 0)
        return false;
    const unsigned wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    return (snd_seq_port_info_get_capability(info) & wanted) == wanted &&
           snd_seq_port_info_get_client(info) != SND_SEQ_CLIENT_SYSTEM;
}

// Finds the port by its name as RtMidi lists it, with or without the address at its end; failing
// that, by the address alone, should the port have been renamed since it was listed.
bool findDestination(snd_seq_t *seq, const std::string &portName, int *client, int *port) {
    snd_seq_client_info_t *clientInfo;
    snd_seq_port_info_t *portInfo;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq, clientInfo) >= 0) {
        const int c = snd_seq_client_info_get_client(clientInfo);
        snd_seq_port_info_set_client(portInfo, c);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq, portInfo) >= 0) {
            if (!listedAsOutput(portInfo))
                continue;
            const int p = snd_seq_port_info_get_port(portInfo);
            const std::string name = std::string(snd_seq_client_info_get_name(clientInfo)) + ":" +
                                     snd_seq_port_info_get_name(portInfo);
            if (portName == name ||
                portName == name + " " + std::to_string(c) + ":" + std::to_string(p)) {
                *client = c;
                *port = p;
                return true;
            }
        }
    }
    int c = 0, p = 0;
    if (!AlsaSeqOutput::parseAddress(portName, &c, &p) ||
        snd_seq_get_any_port_info(seq, c, p, portInfo) < 0 || !listedAsOutput(portInfo))
        return false;
    *client = c;
    *port = p;
    return true;
}

} // namespace

struct AlsaSeqOutput::Seq {
    snd_seq_t *handle = nullptr;
    snd_midi_event_t *encoder = nullptr;
    int port = -1;
    snd_seq_addr_t destination{};

    ~Seq() {
        if (encoder)
            snd_midi_event_free(encoder);
        if (handle)
            snd_seq_close(handle); // takes the port and its connection with it
    }
};

AlsaSeqOutput::AlsaSeqOutput() = default;
AlsaSeqOutput::~AlsaSeqOutput() = default;

bool AlsaSeqOutput::parseAddress(const std::string &portName, int *client, int *port) {
    const auto space = portName.find_last_of(' ');
    const std::string last = portName.substr(space == std::string::npos ? 0 : space + 1);
    const auto colon = last.find(':');
    // Client and port numbers stay below 256 in the kernel; more digits are no address.
    if (colon == std::string::npos || colon == 0 || colon > 3 || colon + 1 == last.size() ||
        last.size() - colon - 1 > 3 || last.find_first_not_of("0123456789:") != std::string::npos ||
        last.find(':', colon + 1) != std::string::npos)
        return false;
    *client = std::stoi(last.substr(0, colon));
    *port = std::stoi(last.substr(colon + 1));
    return true;
}

bool AlsaSeqOutput::open(const std::string &portName) {
    close();
    error_.clear();
    auto seq = std::make_unique<Seq>();
    // Non-blocking, so a full queue at the destination is reported at once and waited for here,
    // where the wait can end.
    int err = snd_seq_open(&seq->handle, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK);
    if (err < 0) {
        seq->handle = nullptr;
        return fail("cannot open the ALSA sequencer", err);
    }
    snd_seq_set_client_name(seq->handle, OutClientName);
    seq->port = snd_seq_create_simple_port(
        seq->handle, "MIDI Out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (seq->port < 0)
        return fail("cannot create the output port", seq->port);
    if ((err = snd_midi_event_new(16, &seq->encoder)) < 0) {
        seq->encoder = nullptr;
        return fail("cannot create the MIDI event encoder", err);
    }
    int client = 0, port = 0;
    if (!findDestination(seq->handle, portName, &client, &port))
        return fail("no such port: " + portName, -ENOENT);
    if ((err = snd_seq_connect_to(seq->handle, seq->port, client, port)) < 0)
        return fail("cannot connect to " + portName, err);
    seq->destination.client = static_cast<unsigned char>(client);
    seq->destination.port = static_cast<unsigned char>(port);
    seq_ = std::move(seq);
    stalled_ = false;
    overflowed_ = false;
    gone_ = false;
    return true;
}

void AlsaSeqOutput::close() {
    seq_.reset();
}

bool AlsaSeqOutput::sendShort(const unsigned char *bytes, std::size_t length) {
    if (!seq_)
        return fail("the output is not open", -EBADF);
    if (bytes == nullptr || length == 0 || length > 3 || bytes[0] < 0x80 || bytes[0] == 0xF0 ||
        bytes[0] == 0xF7)
        return fail("not a short message", -EINVAL);
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    // Every message carries its own status byte: nothing of the last one may carry over.
    snd_midi_event_reset_encode(seq_->encoder);
    const long used =
        snd_midi_event_encode(seq_->encoder, bytes, static_cast<long>(length), &event);
    if (used < 0)
        return fail("cannot encode the short message", static_cast<int>(used));
    if (event.type == SND_SEQ_EVENT_NONE)
        return fail("incomplete short message", -EINVAL);
    return deliver(event);
}

bool AlsaSeqOutput::sendSysEx(const unsigned char *bytes, std::size_t length) {
    if (!seq_)
        return fail("the output is not open", -EBADF);
    if (bytes == nullptr || length == 0)
        return fail("empty SysEx", -EINVAL);
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    // libasound only reads the bytes; its macro just takes a non-const pointer.
    snd_seq_ev_set_sysex(&event, static_cast<unsigned>(length), const_cast<unsigned char *>(bytes));
    return deliver(event);
}

bool AlsaSeqOutput::connected() {
    snd_seq_port_subscribe_t *subscription;
    snd_seq_port_subscribe_alloca(&subscription);
    snd_seq_addr_t sender{};
    sender.client = static_cast<unsigned char>(snd_seq_client_id(seq_->handle));
    sender.port = static_cast<unsigned char>(seq_->port);
    snd_seq_port_subscribe_set_sender(subscription, &sender);
    snd_seq_port_subscribe_set_dest(subscription, &seq_->destination);
    return snd_seq_get_port_subscription(seq_->handle, subscription) >= 0;
}

bool AlsaSeqOutput::deliver(snd_seq_event &event) {
    if (gone_ || !connected()) {
        gone_ = true;
        return fail("the destination is gone", -ENODEV);
    }
    snd_seq_ev_set_source(&event, seq_->port);
    snd_seq_ev_set_subs(&event);
    // Direct: no queue of ours in between, the event is on its way when the call returns.
    snd_seq_ev_set_direct(&event);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const int err = snd_seq_event_output_direct(seq_->handle, &event);
        if (err >= 0) {
            stalled_ = false;
            error_.clear();
            return true;
        }
        // EAGAIN: the destination's queue is full for now. Anything else will not get better,
        // and may be the destination going between the look for it and the send.
        if (err != -EAGAIN) {
            gone_ = !connected();
            return fail(gone_ ? "the destination is gone" : "cannot send", err);
        }
        // Waiting gets this event through, but the kernel empties a receiver's queue when it
        // has overflowed, so the receiver has lost what it held: say so, once per connection.
        if (!overflowed_) {
            overflowed_ = true;
            qCWarning(lcAlsaOut, "the destination's queue is full: it loses what it held");
        }
        // After one event gave up on a receiver, the next ones try once: a receiver that has
        // stopped reading must not hold up the program for every piece of a dump.
        if (stalled_ || std::chrono::steady_clock::now() - start >= MaxWait) {
            stalled_ = true;
            return fail("the destination takes no more events", err);
        }
        std::this_thread::sleep_for(RetryPause);
    }
}

bool AlsaSeqOutput::fail(const std::string &what, int code) {
    std::string text = what + ": " + snd_strerror(code);
    // Once per kind of failure: a stalled receiver fails every piece of a dump alike.
    if (text != error_)
        qCWarning(lcAlsaOut, "%s", text.c_str());
    error_ = std::move(text);
    return false;
}

} // namespace vkv::alsa
