#pragma once

#include "MidiBackend.h"

#include <QObject>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace vkv::midi {
class AlsaSeqOutput;
class HandOver;
} // namespace vkv::midi

// One MIDI output device of the platform. Lists the devices once at construction and reports
// nothing to the user: the result of the latest open is kept in OpenResult for the caller, and
// what the back end says is logged under "vkv.midi". On the ALSA sequencer it sends through
// libasound itself, each SysEx piece as one event, so a paced send keeps its pieces and pace.
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
    // Hands over as many of the three bytes as the status calls for; nothing for a status that
    // starts no short message.
    void Put(char status, char data1, char data2);
    void Reset();
    // Sends the bytes unchanged, with no F0/F7 of its own; returns when the back end has them.
    void SysEx(const char *data, int length);

    // While held, short messages are kept instead of sent: a SysEx going out in pieces would be
    // cut on the wire by any status byte between them, and the box would take a broken dump.
    // Releasing sends the kept ones in their order; closing the port forgets them.
    void HoldShortMessages(bool hold);
    bool holdingShortMessages() const { return holding_; }

    // The MIDI service went away under the port (the JACK server stopped): the port is closed, and
    // the next open makes its client anew, so it works again once the service is back.
    std::function<void(QObject *Sender)> OnLost;
    bool lost() const { return lost_; }

    // Entries 0..NumDevs-1 are filled.
    std::array<vkv::midi::DeviceCaps, MaxDevs> DevCaps{};

private:
    // Takes the port, its back end and its server watch from `prepared`; false without a port.
    bool takeOver(vkv::midi::PreparedOutput &prepared);
    // Closes the device and lets the back end go.
    void release();
    void serviceLost();
    bool renew();
    vkv::midi::Result openDevice(int n);
    vkv::midi::Result openAlsa(const std::string &name);
    void closeDevice();
    void send(const std::array<unsigned char, 3> &message);

    std::unique_ptr<RtMidiOut> out_;                 // lists the devices; sends on JACK
    std::unique_ptr<vkv::midi::AlsaSeqOutput> alsa_; // sends on ALSA while open
    vkv::midi::ErrorSink errors_;
    vkv::midi::Backend backend_ = vkv::midi::Backend::None;
    std::array<vkv::midi::ListedDevice, MaxDevs> listed_{};
    bool using_ = false;
    bool open_ = false; // the device is really open (Using stays true after a refused open)
    bool holding_ = false;
    std::deque<std::array<unsigned char, 3>> held_;
    vkv::midi::HandOver *handOver_;
    std::unique_ptr<vkv::midi::JackServerWatch> watch_;
    bool lost_ = false;
    int port_ = 0;
    int numDevs_ = 0;
    vkv::midi::Result openResult_ = vkv::midi::Result::NoError;
};
