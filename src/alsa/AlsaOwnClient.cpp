#include "AlsaOwnClient.h"

#include "MidiLog.h"
#include "OwnPortLink.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace vkv::alsa {

using backendapi::Backend;
using backendapi::lcMidi;
using backendapi::OwnClient;
using backendapi::OwnPortLink;

namespace {

constexpr int KnobsNumber = 0;
constexpr int MotorsNumber = 1;

// Whether a client other than `seq`'s own is called `name`.
bool nameTaken(snd_seq_t *seq, const std::string &name) {
    snd_seq_client_info_t *info;
    snd_seq_client_info_alloca(&info);
    snd_seq_client_info_set_client(info, -1);
    const int self = snd_seq_client_id(seq);
    while (snd_seq_query_next_client(seq, info) >= 0)
        if (snd_seq_client_info_get_client(info) != self &&
            name == snd_seq_client_info_get_name(info))
            return true;
    return false;
}

// A port as the kernel sets up a hardware MIDI port, at a number of its own.
int createPort(snd_seq_t *seq, int number, const char *name, unsigned capability) {
    snd_seq_port_info_t *info;
    snd_seq_port_info_alloca(&info);
    snd_seq_port_info_set_port(info, number);
    snd_seq_port_info_set_port_specified(info, 1);
    snd_seq_port_info_set_name(info, name);
    snd_seq_port_info_set_capability(info, capability);
    snd_seq_port_info_set_type(info, SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE |
                                         SND_SEQ_PORT_TYPE_PORT);
    snd_seq_port_info_set_midi_channels(info, 16);
    return snd_seq_create_port(seq, info);
}

} // namespace

std::unique_ptr<AlsaOwnClient> AlsaOwnClient::make(std::shared_ptr<OwnPortLink> link,
                                                   const std::string &wanted) {
    snd_seq_t *seq = nullptr;
    int err = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (err < 0) {
        qCWarning(lcMidi, "own ports: cannot open the ALSA sequencer: %s", snd_strerror(err));
        return nullptr;
    }
    for (const std::string &name : candidateNames(wanted)) {
        if (nameTaken(seq, name))
            continue;
        if ((err = snd_seq_set_client_name(seq, name.c_str())) < 0)
            break;
        std::unique_ptr<AlsaOwnClient> client(new AlsaOwnClient(name, seq, std::move(link)));
        if (!client->encoder || client->stopFd < 0 || !client->offer(true))
            return nullptr;
        return client;
    }
    qCWarning(lcMidi, "own ports: no client name left for them on the ALSA sequencer%s%s",
              err < 0 ? ": " : "", err < 0 ? snd_strerror(err) : "");
    snd_seq_close(seq);
    return nullptr;
}

AlsaOwnClient::AlsaOwnClient(std::string name, snd_seq_t *seq, std::shared_ptr<OwnPortLink> link)
    : OwnClient(Backend::Alsa, std::move(name)), seq(seq), link(std::move(link)) {
    if (snd_midi_event_new(16, &encoder) < 0)
        encoder = nullptr;
    stopFd = eventfd(0, EFD_CLOEXEC);
    if (stopFd >= 0)
        reader = std::thread([this] { read(); });
}

AlsaOwnClient::~AlsaOwnClient() {
    if (reader.joinable()) {
        const std::uint64_t one = 1;
        if (::write(stopFd, &one, sizeof one) == sizeof one)
            reader.join();
        else
            reader.detach(); // cannot happen with an eventfd; never block the owner on it
    }
    if (stopFd >= 0)
        ::close(stopFd);
    if (encoder)
        snd_midi_event_free(encoder);
    snd_seq_close(seq); // takes the ports and their connections with it
}

bool AlsaOwnClient::offer(bool on) {
    if (on == offered_)
        return true;
    if (!on) {
        snd_seq_delete_port(seq, MotorsNumber);
        snd_seq_delete_port(seq, KnobsNumber);
        offered_ = false;
        return true;
    }
    int err =
        createPort(seq, KnobsNumber, KnobsPort, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
    if (err < 0)
        return fail("cannot create the Knobs port", err);
    err = createPort(seq, MotorsNumber, MotorsPort,
                     SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    if (err < 0) {
        snd_seq_delete_port(seq, KnobsNumber);
        return fail("cannot create the Motors port", err);
    }
    offered_ = true;
    return true;
}

bool AlsaOwnClient::send(const unsigned char *bytes, std::size_t length) {
    if (!offered_)
        return fail("the ports are not offered", -EBADF);
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_midi_event_reset_encode(encoder); // each message carries its own status byte
    const long used = snd_midi_event_encode(encoder, bytes, static_cast<long>(length), &event);
    if (used < 0 || event.type == SND_SEQ_EVENT_NONE)
        return fail("not a whole short message", used < 0 ? static_cast<int>(used) : -EINVAL);
    snd_seq_ev_set_source(&event, KnobsNumber);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    // Never waited for, nor sent again: with several readers, those with room have it already.
    const int err = snd_seq_event_output_direct(seq, &event);
    if (err < 0)
        return fail("not every reader of Knobs took a message", err);
    error_.clear();
    return true;
}

bool AlsaOwnClient::hasReaders() {
    if (!offered_)
        return false;
    snd_seq_query_subscribe_t *query;
    snd_seq_query_subscribe_alloca(&query);
    snd_seq_addr_t knobs{};
    knobs.client = static_cast<unsigned char>(snd_seq_client_id(seq));
    knobs.port = KnobsNumber;
    snd_seq_query_subscribe_set_root(query, &knobs);
    snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_READ);
    snd_seq_query_subscribe_set_index(query, 0);
    return snd_seq_query_port_subscribers(seq, query) >= 0;
}

void AlsaOwnClient::read() {
    const int count = snd_seq_poll_descriptors_count(seq, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
    snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned>(count), POLLIN);
    fds.back() = {stopFd, POLLIN, 0};
    snd_midi_event_t *decoder = nullptr;
    if (snd_midi_event_new(16, &decoder) < 0)
        return;
    snd_midi_event_no_status(decoder, 1); // every message with its status byte
    const int self = snd_seq_client_id(seq);
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            break;
        if (fds.back().revents != 0)
            break;
        for (;;) {
            snd_seq_event_t *event = nullptr;
            const int err = snd_seq_event_input(seq, &event);
            if (err == -ENOSPC) {
                ++overruns; // the kernel emptied Motors' queue: what it held is lost
                continue;
            }
            if (err < 0 || event == nullptr)
                break;
            if (event->dest.port != MotorsNumber)
                continue;
            if (event->source.client == self) {
                ++loopedBack;
                continue;
            }
            if (event->type == SND_SEQ_EVENT_SYSEX) {
                link->deliver(static_cast<const unsigned char *>(event->data.ext.ptr),
                              event->data.ext.len);
                continue;
            }
            unsigned char message[16];
            snd_midi_event_reset_decode(decoder);
            const long size = snd_midi_event_decode(decoder, message, sizeof message, event);
            if (size > 0) // not MIDI otherwise: notices of subscriptions and the like
                link->deliver(message, static_cast<std::size_t>(size));
        }
    }
    snd_midi_event_free(decoder);
}

bool AlsaOwnClient::fail(const std::string &what, int code) {
    std::string text = what + ": " + snd_strerror(code);
    // Once for each kind: a reader that stopped reading fails every message alike.
    if (text != error_)
        qCWarning(lcMidi, "own ports: %s", text.c_str());
    error_ = std::move(text);
    return false;
}

} // namespace vkv::alsa
