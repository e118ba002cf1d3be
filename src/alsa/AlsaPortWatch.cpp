#include "AlsaPortWatch.h"

#include "MidiLog.h"

#include <alsa/asoundlib.h>

#include <QSocketNotifier>
#include <cerrno>
#include <poll.h>

namespace vkv::alsa {

using backendapi::lcMidi;
using backendapi::PortWatch;
using backendapi::WatchClientName;

std::unique_ptr<AlsaPortWatch> AlsaPortWatch::create(QObject *parent) {
    std::unique_ptr<AlsaPortWatch> watch(new AlsaPortWatch(parent));
    if (!watch->open())
        return nullptr;
    return watch;
}

AlsaPortWatch::AlsaPortWatch(QObject *parent) : PortWatch(parent) {}

AlsaPortWatch::~AlsaPortWatch() {
    delete notifier;
    if (seq)
        snd_seq_close(seq);
}

bool AlsaPortWatch::open() {
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
        seq = nullptr;
        return false;
    }
    snd_seq_set_client_name(seq, WatchClientName);
    // Writable by the system only: no subscription bit, so no port list offers it.
    const int port = snd_seq_create_simple_port(seq, "Port Watch",
                                                SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    pollfd descriptor{};
    if (port < 0 ||
        snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0 ||
        snd_seq_poll_descriptors(seq, &descriptor, 1, POLLIN) != 1) {
        qCWarning(lcMidi, "the ALSA sequencer's announcements cannot be had");
        return false;
    }
    notifier = new QSocketNotifier(descriptor.fd, QSocketNotifier::Read);
    connect(notifier, &QSocketNotifier::activated, this, &AlsaPortWatch::read);
    return true;
}

void AlsaPortWatch::read() {
    bool news = false;
    for (;;) {
        snd_seq_event_t *event = nullptr;
        const int err = snd_seq_event_input(seq, &event);
        if (err == -ENOSPC) {
            news = true; // announcements were lost: something happened
            continue;
        }
        if (err < 0 || event == nullptr)
            break;
        switch (event->type) {
        case SND_SEQ_EVENT_CLIENT_START:
        case SND_SEQ_EVENT_CLIENT_EXIT:
        case SND_SEQ_EVENT_CLIENT_CHANGE:
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_EXIT:
        case SND_SEQ_EVENT_PORT_CHANGE:
            news = true;
            break;
        default:
            break;
        }
    }
    if (news)
        announce();
}

} // namespace vkv::alsa
