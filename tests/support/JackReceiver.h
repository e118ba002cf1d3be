#pragma once

// A MIDI receiver on the tests' JACK server: an RtMidi virtual input port that records every
// message it gets, so tests can check what really crossed the bus, byte for byte.
#include "RtMidiBackend.h"

#include <RtMidi.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class JackReceiver {
public:
    using Message = std::vector<unsigned char>;

    explicit JackReceiver(const std::string &client, const std::string &port = "in")
        : in(std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, client)) {
        in->ignoreTypes(false, true, true);
        in->setCallback(&JackReceiver::received, state.get());
        in->openVirtualPort(port);
    }
    // Closing JACK clients while other clients of the same process run can crash inside
    // libjack now and then, so receivers are closed only when the test process ends. Tests that
    // need a port to vanish use a receiver in another process. What the callback uses stays
    // with the port: a callback already under way when the receiver goes still finds it.
    ~JackReceiver() { vkv::ports::retire(std::move(in), vkv::backendapi::Backend::Jack, state); }

    // Waits until at least `count` messages have arrived or the time is up; returns them all.
    std::vector<Message> waitFor(std::size_t count, int milliseconds = 3000) {
        std::unique_lock lock(state->mutex);
        state->arrived.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [&] { return state->messages.size() >= count; });
        return state->messages;
    }
    // Whatever has arrived after a quiet wait: for checking that nothing was sent.
    std::vector<Message> after(int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        std::lock_guard lock(state->mutex);
        return state->messages;
    }
    void clear() {
        std::lock_guard lock(state->mutex);
        state->messages.clear();
    }

private:
    // Made before the port's thread starts, so that start orders it for the callback (which the
    // thread sanitizer sees).
    struct State {
        std::mutex mutex;
        std::condition_variable arrived;
        std::vector<Message> messages;
    };

    static void received(double, std::vector<unsigned char> *message, void *data) {
        auto *r = static_cast<State *>(data);
        {
            std::lock_guard lock(r->mutex);
            r->messages.push_back(*message);
        }
        r->arrived.notify_all();
    }

    std::shared_ptr<State> state = std::make_shared<State>();
    std::unique_ptr<RtMidiIn> in;
};
