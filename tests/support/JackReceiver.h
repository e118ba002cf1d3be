#pragma once

// A MIDI receiver on the tests' JACK server: an RtMidi virtual input port that records every
// message it gets, so tests can check what really crossed the bus, byte for byte.
#include "MidiBackend.h"

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
        in->setCallback(&JackReceiver::received, this);
        in->openVirtualPort(port);
    }
    // Closing JACK clients while other clients of the same process run can crash inside
    // libjack now and then, so receivers are closed only when the test process ends. Tests that
    // need a port to vanish use a receiver in another process.
    ~JackReceiver() {
        in->cancelCallback();
        vkv::midi::keepUntilExit(std::move(in));
    }

    // Waits until at least `count` messages have arrived or the time is up; returns them all.
    std::vector<Message> waitFor(std::size_t count, int milliseconds = 3000) {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [&] { return messages.size() >= count; });
        return messages;
    }
    // Whatever has arrived after a quiet wait: for checking that nothing was sent.
    std::vector<Message> after(int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        std::lock_guard lock(mutex);
        return messages;
    }
    void clear() {
        std::lock_guard lock(mutex);
        messages.clear();
    }

private:
    static void received(double, std::vector<unsigned char> *message, void *self) {
        auto *r = static_cast<JackReceiver *>(self);
        {
            std::lock_guard lock(r->mutex);
            r->messages.push_back(*message);
        }
        r->arrived.notify_all();
    }

    // What the callback uses comes first: made before the port's thread starts, it is there for
    // the callback by the thread's start (which the thread sanitizer sees).
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Message> messages;
    std::unique_ptr<RtMidiIn> in;
};
