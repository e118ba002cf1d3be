#pragma once

#include "MidiBackend.h"
#include "MidiInSplitter.h"
#include "MidiTap.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vkv::midi {
class HandOver;
}

// One MIDI input device of the platform. Lists the devices once at construction and reports
// nothing to the user: the result of the latest open is kept in OpenResult for the caller, and
// what the back end says is logged under "vkv.midi".
//
// The back end receives on a thread of its own. What it delivers is copied there and handed to
// the thread this object lives on (the GUI thread), where OnShort and OnSysEx are raised in
// arrival order; a burst is handed over in one go, so a flood costs one hand-over per burst. After
// a close, or a re-open on another device, nothing more of the old device is raised, not even what
// had already arrived.
class TMidiIn : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxDevs = vkv::midi::MaxDevs;
    static constexpr int SysExChunkSize = static_cast<int>(vkv::midi::MidiInSplitter::ChunkSize);

    explicit TMidiIn(QObject *owner = nullptr,
                     vkv::midi::Backend backend = vkv::midi::Backend::Auto);
    // Takes over a back end made beforehand, maybe on another thread.
    TMidiIn(QObject *owner, vkv::midi::PreparedInput prepared);
    ~TMidiIn() override;
    // Takes over a back end that was still being made when this port was constructed (with an
    // empty preparation): its devices are listed from now on. Closes what the port had before.
    void adopt(vkv::midi::PreparedInput prepared);

    bool Using() const { return using_; }
    int Port() const { return port_; }
    int NumDevs() const { return numDevs_; }
    vkv::midi::Result OpenResult() const { return openResult_; }
    bool UseShort() const { return useShort_; }
    bool UseSysEx() const { return useSysEx_; }
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
    // Take effect with the next message raised.
    void SetUseShort(bool value) { useShort_ = value; }
    void SetUseSysEx(bool value) { useSysEx_ = value; }

    // Opens device Port (closing it first if it is open) and records OpenResult; closes the
    // device. The property writers call these; Using is theirs to keep.
    void Prepare();
    void UnPrepare();

    // One short message: status byte, first and second data byte (0 where the message has none).
    std::function<void(QObject *Sender, uint8_t Status, uint8_t First, uint8_t Second)> OnShort;
    // One piece of a SysEx message, at most SysExChunkSize bytes; a message's first piece begins
    // with F0. The bytes are valid until the handler returns.
    std::function<void(QObject *Sender, char *SysExAdd, int MsgSize)> OnSysEx;
    // The SysEx message under way broke off (the back end lost its end): the pieces raised of it
    // are no whole message. Raised, like OnSysEx, only while UseSysEx is true.
    std::function<void(QObject *Sender)> OnSysExBroken;

    // The port went away under the program: the MIDI service (the JACK server stopped), or the
    // device itself (found gone when the list is read again). The port is closed; after a lost
    // service the next open makes its client anew, so it works again once the service is back.
    std::function<void(QObject *Sender)> OnLost;
    bool lost() const { return lost_; }
    // Why the port was lost since it was last opened ("JACK stopped!", "<name> gone"); empty
    // while it was not.
    const std::string &lostReason() const { return lostReason_; }

    // Reports each event as it is handed on to this object's thread, whatever the Use flags say,
    // to `tap`; nullptr for none. The tap must outlive its use here.
    void setTap(vkv::midi::MidiTap *tap) { tap_ = tap; }

    // Entries 0..NumDevs-1 are filled.
    std::array<vkv::midi::DeviceCaps, MaxDevs> DevCaps{};

private:
    struct Link;

    // Takes the port, its back end and its server watch from `prepared`.
    void createPort(vkv::midi::PreparedInput &prepared);
    // Closes the device and lets the back end go, with its link.
    void release();
    void serviceLost();
    void deviceLost(const std::string &name);
    void raiseLost();
    bool renew();
    static void received(double timeStamp, std::vector<unsigned char> *message, void *link);
    void takeInbox(unsigned session);
    void take(unsigned session, std::vector<vkv::midi::MidiInEvent> events);
    void raise(vkv::midi::MidiInEvent &event);
    void tapEvent(const vkv::midi::MidiInEvent &event);
    vkv::midi::Result openDevice(int n);
    void closeDevice();

    std::unique_ptr<RtMidiIn> in_;
    vkv::midi::MidiTap *tap_ = nullptr;
    std::shared_ptr<Link> link_;   // shared with the back end's thread
    vkv::midi::HandOver *handOver; // brings deliveries to this object's thread
    std::unique_ptr<vkv::midi::JackServerWatch> watch_;
    bool lost_ = false;
    std::string lostReason_;
    int openDevice_ = -1; // the listed device that is open
    vkv::midi::Backend backend_ = vkv::midi::Backend::None;
    std::array<vkv::midi::ListedDevice, MaxDevs> listed_{};
    std::deque<vkv::midi::MidiInEvent> pending_; // handed over, not yet raised
    unsigned session_ = 0; // counts opens and closes; older deliveries are dropped
    bool delivering_ = false;
    bool using_ = false;
    bool open_ = false; // the device is really open (Using stays true after a refused open)
    bool useShort_ = true;
    bool useSysEx_ = true;
    int port_ = 0;
    int numDevs_ = 0;
    vkv::midi::Result openResult_ = vkv::midi::Result::NoError;
};
