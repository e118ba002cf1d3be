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
    ~JackSender() { kept().ports.push_back(std::move(out)); }

    void send(const std::vector<unsigned char> &message) { out->sendMessage(&message); }

    const std::string &portName() const { return name; }

private:
    // Senders kept for the process's life, closed cleanly when it ends: a client left open at the
    // end stalls the server for a while, and with it the next test, until it notices the loss.
    struct Kept {
        std::vector<std::unique_ptr<RtMidiOut>> ports;
        std::unique_ptr<RtMidiIn> lister;
        ~Kept() {
            for (auto &port : ports)
                port->closePort();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    };
    static Kept &kept() {
        static Kept k;
        return k;
    }

    // A port just registered is listed only once the server has run a cycle, which takes a while
    // on a busy machine.
    void waitListed() {
        auto &lister = kept().lister;
        if (!lister)
            lister = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "vkvlister");
        for (int tries = 0; tries < 1000; ++tries) {
            const unsigned count = lister->getPortCount();
            for (unsigned i = 0; i < count; ++i)
                if (lister->getPortName(i) == name)
                    return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::unique_ptr<RtMidiOut> out;
    std::string name;
};
