#pragma once

#include "MidiInSplitter.h"
#include "MidiPort.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One MIDI input device of the platform (the device list, the choice and what happens when the
// device goes are MidiPort's). What the back end says is logged under "vkv.midi".
//
// The back end receives on a thread of its own. What it delivers is copied there and handed to
// the thread this object lives on (the GUI thread), where OnShort and OnSysEx are raised in
// arrival order; a burst is handed over in one go, so a flood costs one hand-over per burst. After
// a close, or a re-open on another device, nothing more of the old device is raised, not even what
// had already arrived.
class TMidiIn : public vkv::ports::MidiPort {
    Q_OBJECT
public:
    static constexpr int SysExChunkSize = static_cast<int>(vkv::midi::MidiInSplitter::ChunkSize);

    explicit TMidiIn(QObject *owner = nullptr,
                     vkv::backendapi::Backend backend = vkv::backendapi::Backend::Auto);
    // Takes over a back end made beforehand, maybe on another thread.
    TMidiIn(QObject *owner, vkv::ports::PreparedInput prepared);
    ~TMidiIn() override;
    // Takes over a back end that was still being made when this port was constructed (with an
    // empty preparation): its devices are listed from now on. Closes what the port had before.
    void adopt(vkv::ports::PreparedInput prepared);

    bool UseShort() const { return useShort_; }
    bool UseSysEx() const { return useSysEx_; }
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

    // What passes the port goes to the tap (MidiPort::setTap): each event as it is handed on to
    // this object's thread, whatever the Use flags say.

private:
    struct Link;

    std::vector<std::string> backendNames() override;
    bool hasBackend() const override { return in_ != nullptr; }
    bool openBackend(unsigned index, const std::string &name) override;
    void closeDevice() override;
    void renewBackend() override;

    // Takes the port, its back end and its server watch from `prepared`.
    void createPort(vkv::ports::PreparedInput &prepared);
    // Closes the device and lets the back end go, with its link.
    void release();
    static void received(double timeStamp, std::vector<unsigned char> *message, void *link);
    void takeInbox(unsigned session);
    void take(unsigned session, std::vector<vkv::midi::MidiInEvent> events);
    void raise(vkv::midi::MidiInEvent &event);

    std::unique_ptr<RtMidiIn> in_;
    std::shared_ptr<Link> link_;                 // shared with the back end's thread
    std::deque<vkv::midi::MidiInEvent> pending_; // handed over, not yet raised
    unsigned session_ = 0; // counts opens and closes; older deliveries are dropped
    bool delivering_ = false;
    bool useShort_ = true;
    bool useSysEx_ = true;
};
