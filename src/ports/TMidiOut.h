#pragma once

#include "HoldQueue.h"
#include "MidiPort.h"

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vkv::alsa {
class AlsaSeqOutput;
}

// One MIDI output device of the platform (the device list, the choice and what happens when the
// device goes are MidiPort's). Each send says whether the back end took it, and what the back end
// says is logged under "vkv.midi". On the ALSA sequencer it sends through libasound itself, each
// SysEx piece as one event, so a paced send keeps its pieces and pace.
class TMidiOut : public vkv::ports::MidiPort {
    Q_OBJECT
public:
    explicit TMidiOut(QObject *owner = nullptr,
                      vkv::backendapi::Backend backend = vkv::backendapi::Backend::Auto);
    // Takes over a back end made beforehand, maybe on another thread.
    TMidiOut(QObject *owner, vkv::ports::PreparedOutput prepared);
    ~TMidiOut() override;
    // Takes over a back end that was still being made when this port was constructed (with an
    // empty preparation): its devices are listed from now on. Closes what the port had before.
    void adopt(vkv::ports::PreparedOutput prepared);

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
    // Raised at each HoldMessages, after this port's own held messages went: for a port that sends
    // alongside this one and holds and releases with it.
    std::function<void(bool hold)> OnHoldMessages;
    std::size_t heldMessages() const { return held_.size(); }
    // The whole SysEx messages the latest release sent or failed to send, in their order: a held
    // dump that failed is a failed send, and one that went is what the box holds now.
    struct ReleasedSysEx {
        std::vector<unsigned char> bytes;
        bool sent = false;
    };
    const std::vector<ReleasedSysEx> &releasedSysEx() const { return released_; }

    // What passes the port goes to the tap (MidiPort::setTap): each message the back end took,
    // as it went (held ones when released). A SysEx sent in pieces whose end never goes out,
    // because the port closed or was lost, is reported broken.

private:
    std::vector<std::string> backendNames() override;
    bool hasBackend() const override { return out_ != nullptr; }
    bool openBackend(unsigned index, const std::string &name) override;
    void closeDevice() override;
    void renewBackend() override;
    void deviceGoing() override { holding_ = false; }

    // Takes the port, its back end and its server watch from `prepared`.
    void takeOver(vkv::ports::PreparedOutput &prepared);
    // Closes the device and lets the back end go.
    void release();
    bool send(const unsigned char *bytes, std::size_t length, bool sysEx);
    bool sendFailed(const char *what, std::size_t length);
    void tapSent(const unsigned char *bytes, std::size_t length, bool sysEx);

    std::unique_ptr<RtMidiOut> out_;                 // lists the devices; sends on JACK
    std::unique_ptr<vkv::alsa::AlsaSeqOutput> alsa_; // sends on ALSA while open
    vkv::ports::ErrorSink errors_;
    std::string sysExUnderWay_; // the port of a tapped SysEx whose end has not gone out
    bool holding_ = false;
    vkv::midi::HoldQueue held_;
    std::vector<ReleasedSysEx> released_;
};
