#pragma once

// A MIDI input on the tests' JACK server, written straight against libjack: it records every event
// as the server hands it over, each with its own bytes and its time on the JACK clock, so tests
// can see the pieces of a paced SysEx and when they came (an RtMidi input would join them).
#include <jack/jack.h>
#include <jack/midiport.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class JackRecorder {
public:
    struct Event {
        std::vector<unsigned char> bytes;
        jack_time_t usecs;                        // JACK clock time of the event's frame
        std::chrono::steady_clock::time_point at; // when the process callback handed it over
    };

    explicit JackRecorder(const std::string &client, const std::string &port = "in") {
        jack_status_t status{};
        handle = jack_client_open(client.c_str(), JackNoStartServer, &status);
        if (!handle)
            throw std::runtime_error("no JACK server for " + client);
        name = std::string(jack_get_client_name(handle)) + ":" + port;
        input =
            jack_port_register(handle, port.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(handle, &JackRecorder::process, this);
        jack_activate(handle);
        waitListed();
    }
    // Clients are closed only as the test process ends (see closeAtExit): tearing one down while
    // other JACK clients of the process run can fault inside libjack.
    ~JackRecorder() {
        jack_deactivate(handle);
        closeAtExit(handle);
    }
    JackRecorder(const JackRecorder &) = delete;
    JackRecorder &operator=(const JackRecorder &) = delete;

    const std::string &portName() const { return name; }
    jack_nframes_t periodFrames() const { return jack_get_buffer_size(handle); }
    double periodMs() const { return 1000.0 * periodFrames() / jack_get_sample_rate(handle); }

    // Waits until `done` holds for the events recorded so far, or the time is up; returns them.
    // The calling thread does nothing else meanwhile: wait this way only for what other threads
    // send.
    std::vector<Event> waitUntil(const std::function<bool(const std::vector<Event> &)> &done,
                                 int milliseconds = 5000) {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [&] { return done(events); });
        return events;
    }
    // What has been recorded so far.
    std::vector<Event> recorded() const {
        std::lock_guard lock(mutex);
        return events;
    }
    std::vector<Event> after(int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        std::lock_guard lock(mutex);
        return events;
    }
    void clear() {
        std::lock_guard lock(mutex);
        events.clear();
    }

    // All bytes of the recorded events that belong to SysEx messages, in order.
    static std::vector<unsigned char> sysExBytes(const std::vector<Event> &events) {
        std::vector<unsigned char> all;
        bool inSysEx = false;
        for (const Event &e : events) {
            const bool shortMessage = !inSysEx && !e.bytes.empty() && e.bytes[0] != 0xF0;
            if (shortMessage)
                continue;
            for (unsigned char b : e.bytes) {
                all.push_back(b);
                inSysEx = b != 0xF7;
            }
        }
        return all;
    }

private:
    static int process(jack_nframes_t frames, void *self) {
        auto *r = static_cast<JackRecorder *>(self);
        void *buffer = jack_port_get_buffer(r->input, frames);
        const jack_nframes_t start = jack_last_frame_time(r->handle);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        if (count == 0)
            return 0;
        const auto now = std::chrono::steady_clock::now();
        {
            std::lock_guard lock(r->mutex);
            for (std::uint32_t i = 0; i < count; ++i) {
                jack_midi_event_t event;
                if (jack_midi_event_get(&event, buffer, i) != 0)
                    continue;
                r->events.push_back({{event.buffer, event.buffer + event.size},
                                     jack_frames_to_time(r->handle, start + event.time),
                                     now});
            }
        }
        r->arrived.notify_all();
        return 0;
    }

    // A port just registered is listed only once the server has run a cycle.
    void waitListed() {
        for (int tries = 0; tries < 1000; ++tries) {
            const char **ports = jack_get_ports(handle, name.c_str(), JACK_DEFAULT_MIDI_TYPE, 0);
            const bool listed = ports && ports[0];
            jack_free(ports);
            if (listed)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    static void closeAtExit(jack_client_t *client) {
        struct Kept {
            std::vector<jack_client_t *> clients;
            ~Kept() {
                for (jack_client_t *c : clients)
                    jack_client_close(c);
            }
        };
        static Kept kept;
        kept.clients.push_back(client);
    }

    jack_client_t *handle = nullptr;
    jack_port_t *input = nullptr;
    std::string name;
    mutable std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Event> events;
};
