#pragma once

#include "HoldQueue.h"
#include "MidiBackend.h"
#include "MidiTap.h"

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vkv::midi {
class AlsaSeqOutput;
class HandOver;
} // namespace vkv::midi

// One MIDI output device of the platform. Lists the devices once at construction and reports
// nothing to the user: the result of the latest open is kept in OpenResult for the caller, each
// send says whether the back end took it, and what the back end says is logged under "vkv.midi".
// On the ALSA sequencer it sends through libasound itself, each SysEx piece as one event, so a
// paced send keeps its pieces and pace.
class TMidiOut : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxDevs = vkv::midi::MaxDevs;

    explicit TMidiOut(QObject *owner = nullptr,
                      vkv::midi::Backend backend = vkv::midi::Backend::Auto);
    // Takes over a back end made beforehand, maybe on another thread.
    TMidiOut(QObject *owner, vkv::midi::PreparedOutput prepared);
    ~TMidiOut() override;
    // Takes over a back end that was still being made when this port was constructed (with an
    // empty preparation): its devices are listed from now on. Closes what the port had before.
    void adopt(vkv::midi::PreparedOutput prepared);

    bool Using() const { return using_; }
    int Port() const { return port_; }
    int NumDevs() const { return numDevs_; }
    vkv::midi::Result OpenResult() const { return openResult_; }
    vkv::midi::Backend backend() const { return backend_; }

    void SetUsing(bool value);
    void SetPort(int n);
    // Reads the device list again (ports come and go while the program runs); true when it
    // changed. The open device keeps its place by its name, and Port() follows it; one that has
    // gone is lost: closed now, OnLost raised from the event loop. After a lost service it tries
    // the service anew first.
    bool relist();
    // The listed device's whole name, as the back end names it; empty out of range.
    std::string deviceName(int n) const;
    // The listed device whose key (vkv::midi::portKey) is `key`; -1 when none is.
    int deviceByKey(const std::string &key) const {
        return vkv::midi::findByKey(listed_, numDevs_, key);
    }
    // Every port the back end has now, unlisted ones too; empty without one.
    std::vector<std::string> portNames();
    // Hands over as many of the three bytes as the status calls for; nothing for a status that
    // starts no short message. True when the back end took it, or it is held.
    bool Put(char status, char data1, char data2);
    void Reset();
    // Sends the bytes unchanged, with no F0/F7 of its own, never held: a piece of a paced dump.
    // Returns when the back end has them; false when it refused them or the port is not open.
    bool SysEx(const char *data, int length);
    // A whole SysEx message (such as a dump request or a whole dump), sent as SysEx does: held
    // like a short message while messages are held (a copy is kept), sent at once otherwise.
    bool SysExMessage(const char *data, int length);

    // While held, short messages and whole SysEx messages are kept instead of sent: a SysEx going
    // out in pieces would be cut on the wire by any status byte between them, and the box would
    // take a broken dump. Releasing sends the kept ones in their order (see HoldQueue for what a
    // long hold keeps); closing the port, or losing it, forgets them.
    void HoldMessages(bool hold);
    bool holdingMessages() const { return holding_; }
    std::size_t heldMessages() const { return held_.size(); }

    // The port went away under the program: the MIDI service (the JACK server stopped), or the
    // device itself (an ALSA client that quit). The port is closed at once and stops holding;
    // OnLost is raised from the event loop, never from inside a send. After a lost service the
    // next open makes its client anew, so it works again once the service is back.
    std::function<void(QObject *Sender)> OnLost;
    bool lost() const { return lost_; }
    // Why the port was lost since it was last opened ("JACK stopped!", "<name> gone"); empty
    // while it was not.
    const std::string &lostReason() const { return lostReason_; }

    // Reports each message the back end took, as it went (held ones when released), to `tap`;
    // nullptr for none. A SysEx sent in pieces whose end never goes out, because the port closed
    // or was lost, is reported broken. The tap must outlive its use here.
    void setTap(vkv::midi::MidiTap *tap) { tap_ = tap; }

    // Entries 0..NumDevs-1 are filled.
    std::array<vkv::midi::DeviceCaps, MaxDevs> DevCaps{};

private:
    // Takes the port, its back end and its server watch from `prepared`; false without a port.
    bool takeOver(vkv::midi::PreparedOutput &prepared);
    // Closes the device and lets the back end go.
    void release();
    void serviceLost();
    // The device went away while open: closed now, OnLost raised from the event loop.
    void deviceLost(std::string reason);
    void raiseLost();
    bool renew();
    vkv::midi::Result openDevice(int n);
    vkv::midi::Result openAlsa(const std::string &name);
    void closeDevice();
    bool send(const unsigned char *bytes, std::size_t length, bool sysEx);
    bool sendFailed(const char *what, std::size_t length);
    void tapSent(const unsigned char *bytes, std::size_t length, bool sysEx);

    std::unique_ptr<RtMidiOut> out_;                 // lists the devices; sends on JACK
    std::unique_ptr<vkv::midi::AlsaSeqOutput> alsa_; // sends on ALSA while open
    vkv::midi::ErrorSink errors_;
    vkv::midi::MidiTap *tap_ = nullptr;
    std::string sysExUnderWay_; // the port of a tapped SysEx whose end has not gone out
    vkv::midi::Backend backend_ = vkv::midi::Backend::None;
    std::array<vkv::midi::ListedDevice, MaxDevs> listed_{};
    bool using_ = false;
    bool open_ = false; // the device is really open (Using stays true after a refused open)
    bool holding_ = false;
    vkv::midi::HoldQueue held_;
    std::string lostReason_;
    int openDevice_ = -1; // the listed device that is open
    vkv::midi::HandOver *handOver_;
    std::unique_ptr<vkv::midi::JackServerWatch> watch_;
    bool lost_ = false;
    int port_ = 0;
    int numDevs_ = 0;
    vkv::midi::Result openResult_ = vkv::midi::Result::NoError;
};
