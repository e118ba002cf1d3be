#pragma once

// A MIDI sender on the tests' JACK server: an RtMidi virtual output port, listed by input ports
// as "<client>:out". Create it before the port under test, which reads the list when it is made.
#include <RtMidi.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class JackSender {
public:
    explicit JackSender(const std::string &client, const std::string &port = "out")
        : out(std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, client)), name(client + ":" + port) {
        out->openVirtualPort(port);
        waitListed();
    }
    // Closing JACK clients while other clients of the same process run can crash inside libjack
    // now and then, so senders stay until the test process ends.
    ~JackSender() { graveyard().push_back(std::move(out)); }

    void send(const std::vector<unsigned char> &message) { out->sendMessage(&message); }

    const std::string &portName() const { return name; }

private:
    // A port just registered is listed only once the server has run a cycle, which takes a while
    // on a busy machine.
    void waitListed() {
        static auto *lister = new RtMidiIn(RtMidi::UNIX_JACK, "vkvlister");
        for (int tries = 0; tries < 500; ++tries) {
            const unsigned count = lister->getPortCount();
            for (unsigned i = 0; i < count; ++i)
                if (lister->getPortName(i) == name)
                    return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    static std::vector<std::unique_ptr<RtMidiOut>> &graveyard() {
        static auto *ports = new std::vector<std::unique_ptr<RtMidiOut>>;
        return *ports;
    }

    std::unique_ptr<RtMidiOut> out;
    std::string name;
};
