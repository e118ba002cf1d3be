#pragma once

// A plain libasound client with one output port, listed by input ports as "<client>:out": sends
// each SysEx piece as one event straight to whoever subscribed, as a box on a USB cable does.
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class AlsaSender {
public:
    explicit AlsaSender(const std::string &client) {
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
            throw std::runtime_error("cannot open the sequencer");
        snd_seq_set_client_name(seq, client.c_str());
        port = snd_seq_create_simple_port(
            seq, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        name = client + ":out";
    }
    ~AlsaSender() { snd_seq_close(seq); }

    const std::string &portName() const { return name; }

    // Returns the sequencer's error code, 0 once the event is delivered. Waits while the
    // receiver's queue is full, unless `waitWhileFull` is false: the event is then lost, as a
    // box's are when the receiver falls behind.
    int sendSysEx(const unsigned char *bytes, std::size_t size, bool waitWhileFull = true) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(size), const_cast<unsigned char *>(bytes));
        return send(ev, waitWhileFull);
    }
    int sendController(unsigned char channel, unsigned char number, unsigned char value) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_controller(&ev, channel, number, value);
        return send(ev, true);
    }

    int sendProgramChange(unsigned char channel, unsigned char program) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_pgmchange(&ev, channel, program);
        return send(ev, true);
    }

    // A real-time message: SND_SEQ_EVENT_SENSING (FE), SND_SEQ_EVENT_CLOCK (F8) and the like.
    int sendRealTime(snd_seq_event_type_t type) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        ev.type = type;
        return send(ev, true);
    }
    // A whole SysEx as a device's comes through the sequencer, in events of at most 256 bytes,
    // with active sensing and clock events between them, as boxes and interfaces send while a
    // dump goes. Returns the first error code, 0 when every event was delivered.
    int sendSysExWithRealTime(const std::vector<unsigned char> &message) {
        int err = 0;
        for (std::size_t at = 0, n = 0; at < message.size() && err == 0; at += 256, ++n) {
            err = sendSysEx(message.data() + at, std::min<std::size_t>(256, message.size() - at));
            if (err == 0 && at + 256 < message.size())
                err = sendRealTime(n % 2 ? SND_SEQ_EVENT_CLOCK : SND_SEQ_EVENT_SENSING);
        }
        return err;
    }

private:
    int send(snd_seq_event_t &ev, bool waitWhileFull) {
        snd_seq_ev_set_source(&ev, port);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        int err = -EAGAIN;
        for (int tries = 0; tries < 2000 && err == -EAGAIN; ++tries) {
            err = snd_seq_event_output_direct(seq, &ev);
            if (err == -EAGAIN && !waitWhileFull)
                break;
            if (err == -EAGAIN)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return err < 0 ? err : 0;
    }

    snd_seq_t *seq = nullptr;
    int port = -1;
    std::string name;
};
