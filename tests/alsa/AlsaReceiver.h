#pragma once

// A plain libasound client with one input port that records every MIDI event it is given, with
// the time it arrived, so tests can check what crossed the sequencer and when. Reads on a thread
// of its own, as a synth would, while the test sends.
#include <alsa/asoundlib.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class AlsaReceiver {
public:
    using Clock = std::chrono::steady_clock;
    struct Event {
        bool sysEx = false;
        std::vector<unsigned char> bytes; // as MIDI bytes, each with its own status byte
        int sourceClient = -1;
        Clock::time_point at;
    };

    // A receiver made `paused` reads nothing until resume(), like a program that is busy.
    explicit AlsaReceiver(const std::string &client, bool paused = false) : held(paused) {
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0)
            throw std::runtime_error("cannot open the sequencer");
        snd_seq_set_client_name(seq, client.c_str());
        port = snd_seq_create_simple_port(
            seq, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        snd_midi_event_new(4096, &decoder);
        snd_midi_event_no_status(decoder, 1);
        name = client + ":in";
        reader = std::thread([this] { read(); });
    }
    ~AlsaReceiver() {
        stop = true;
        reader.join();
        snd_midi_event_free(decoder);
        snd_seq_close(seq);
    }

    void resume() { held = false; }

    // The port as RtMidi lists it, without the address at its end.
    const std::string &portName() const { return name; }
    int clientId() const { return snd_seq_client_id(seq); }
    // Times the kernel said this client's queue was full and dropped what it held.
    int overruns() const { return lost; }

    // Waits until `done` holds for what has arrived, or the time is up; returns all of it.
    std::vector<Event> waitFor(const std::function<bool(const std::vector<Event> &)> &done,
                               int milliseconds = 10000) {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [&] { return done(events); });
        return events;
    }
    std::vector<Event> waitFor(std::size_t count, int milliseconds = 10000) {
        return waitFor([count](const auto &e) { return e.size() >= count; }, milliseconds);
    }
    void clear() {
        std::lock_guard lock(mutex);
        events.clear();
    }
    // What has arrived since the last take, taken out.
    std::vector<Event> take() {
        std::lock_guard lock(mutex);
        return std::exchange(events, {});
    }

    // The client name of a sequencer client, as the receiver's events name their source by id.
    std::string clientName(int client) const {
        snd_seq_client_info_t *info;
        snd_seq_client_info_alloca(&info);
        if (snd_seq_get_any_client_info(seq, client, info) < 0)
            return {};
        return snd_seq_client_info_get_name(info);
    }

private:
    void read() {
        pollfd fds[4];
        const int count = snd_seq_poll_descriptors(seq, fds, 4, POLLIN);
        while (!stop) {
            if (held) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (poll(fds, count, 20) <= 0)
                continue;
            for (;;) {
                snd_seq_event_t *ev = nullptr;
                const int err = snd_seq_event_input(seq, &ev);
                if (err == -ENOSPC) {
                    ++lost;
                    continue;
                }
                if (err < 0 || ev == nullptr)
                    break;
                record(ev);
            }
        }
    }

    void record(const snd_seq_event_t *ev) {
        Event event;
        event.at = Clock::now();
        event.sourceClient = ev->source.client;
        if (ev->type == SND_SEQ_EVENT_SYSEX) {
            event.sysEx = true;
            const auto *data = static_cast<const unsigned char *>(ev->data.ext.ptr);
            event.bytes.assign(data, data + ev->data.ext.len);
        } else {
            unsigned char buffer[16];
            snd_midi_event_reset_decode(decoder);
            const long size = snd_midi_event_decode(decoder, buffer, sizeof buffer, ev);
            if (size <= 0)
                return; // not a MIDI message: subscription notices and the like
            event.bytes.assign(buffer, buffer + size);
        }
        {
            std::lock_guard lock(mutex);
            events.push_back(std::move(event));
        }
        arrived.notify_all();
    }

    snd_seq_t *seq = nullptr;
    snd_midi_event_t *decoder = nullptr;
    int port = -1;
    std::string name;
    std::atomic<bool> stop{false};
    std::atomic<bool> held{false};
    std::atomic<int> lost{0};
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Event> events;
    std::thread reader;
};
