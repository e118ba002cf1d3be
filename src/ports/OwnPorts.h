#pragma once

#include "Backend.h"
#include "HoldQueue.h"
#include "MidiInSplitter.h"
#include "MidiTap.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>

namespace vkv::threads {
class HandOver;
}

namespace vkv::backendapi {
class OwnClient;
class OwnPortLink;
} // namespace vkv::backendapi

namespace vkv::ports {

// The program's own MIDI ports, which others (a DAW, a synth, a patchbay) connect to by name:
// a client "Virtual Korvane Vela" ("Virtual Korvane Vela 2" and so on while another instance has
// that name, said in the log) on the back end the program uses, with two ports:
// - Knobs, which others read: what Put is given, as a device's output port sends it. While
//   messages are held (a paced dump goes out elsewhere), they are kept and released in their order
//   by HoldQueue's rules; closing forgets them.
// - Motors, which others write: short messages are raised with OnShort on this object's thread, a
//   burst in one hand-over; SysEx written to it is ignored and counted in the log, never a dump.
// The name stays for as long as the object lives: ports taken away and offered again, or back
// from a JACK server that stopped and came back, keep it. The client is made on a thread of its
// own (on JACK a round trip to the server), and on JACK looked for again every RetryMs while no
// server is there. What the back end says is logged under "vkv.midi".
class OwnPorts : public QObject {
    Q_OBJECT
public:
    static constexpr int RetryMs = 500;

    explicit OwnPorts(QObject *parent = nullptr);
    ~OwnPorts() override;

    // Offers the ports on `backend` (Alsa or Jack), or takes them away at once. A back end other
    // than the one the client was made on takes the ports away.
    void offer(backendapi::Backend backend, bool on);
    // The ports are there now; offering may take a moment, and changed() follows.
    bool offered() const;
    // The client's name, once it was made; "" before.
    const std::string &clientName() const;
    // "<client>:Knobs", "<client>:Motors".
    std::string knobsName() const;
    std::string motorsName() const;

    // One message of the virtual box for Knobs: as many of the three bytes as the status calls
    // for. True when the back end took it, or it is held; false when the ports are not offered.
    bool Put(char status, char data1, char data2);
    void HoldMessages(bool hold);
    bool holdingMessages() const { return holding; }
    std::size_t heldMessages() const { return held.size(); }

    // One short message written to Motors, as TMidiIn raises it: status, first and second data
    // byte (0 where the message has none). Real-time messages come too.
    std::function<void(QObject *Sender, uint8_t Status, uint8_t First, uint8_t Second)> OnShort;
    // SysEx messages written to Motors, and ignored, since the object was made.
    std::size_t sysExIgnored() const { return ignoredSysEx; }

    // Reports what goes out on Knobs (to someone reading it) and comes in on Motors to `tap` (see
    // MidiTap), with the ports' names; nullptr for none. The tap must outlive its use here.
    void setTap(midi::MidiTap *tap) { tap_ = tap; }

signals:
    // The ports came or went, or the client's name changed.
    void changed();

private:
    void makeClient();
    void takeClient();
    void lost();
    void take();
    void raise(midi::MidiInEvent &event);
    void logCounts();
    bool send(const unsigned char *bytes, std::size_t length);

    threads::HandOver *handOver;
    std::unique_ptr<backendapi::OwnClient> client;
    std::shared_ptr<backendapi::OwnPortLink> link; // the client's
    std::future<std::unique_ptr<backendapi::OwnClient>> making;
    QTimer retry;
    QTimer counts; // the log's word on what was ignored or lost, once a second at most
    backendapi::Backend backend = backendapi::Backend::None;
    bool wanted = false;
    std::string name; // the client's, kept for a client made anew
    midi::MidiInSplitter splitter;
    midi::MidiTap *tap_ = nullptr;
    bool holding = false;
    midi::HoldQueue held;
    std::size_t ignoredSysEx = 0, ignoredLogged = 0;
    std::size_t loopedBack = 0, overruns = 0, dropped = 0;
};

} // namespace vkv::ports
