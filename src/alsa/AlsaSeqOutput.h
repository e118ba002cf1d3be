#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct snd_seq_event; // libasound's event, kept out of this header

namespace vkv::alsa {

// A MIDI output on the ALSA sequencer, written through libasound itself.
//
// RtMidi runs every message through the sequencer's byte encoder, which re-chunks SysEx pieces or
// holds them back until F7, so a paced dump would reach the box in a burst. Here each SysEx piece
// leaves as one event of exactly its bytes, the moment it is sent. Short messages take the same
// client and port, so they can never overtake a piece or fall behind one.
//
// The output is a sequencer client of its own, named as the MIDI OUT port's (OutClientName), with
// one port connected to the chosen destination; events go directly to the port's subscribers, so a
// connection the user adds in a patchbay gets them too.
class AlsaSeqOutput {
public:
    AlsaSeqOutput();
    ~AlsaSeqOutput();
    AlsaSeqOutput(const AlsaSeqOutput &) = delete;
    AlsaSeqOutput &operator=(const AlsaSeqOutput &) = delete;

    // Connects to the port that RtMidi lists under `portName` ("Midi Through:Midi Through
    // Port-0 14:0"). On failure nothing stays open and errorText() says why.
    bool open(const std::string &portName);
    void close();
    bool isOpen() const { return seq_ != nullptr; }

    // One complete short message (1 to 3 bytes, status first) as one event.
    bool sendShort(const unsigned char *bytes, std::size_t length);
    // The bytes as one SysEx event, unchanged: a piece carries no F0/F7 of its own.
    bool sendSysEx(const unsigned char *bytes, std::size_t length);
    // Both wait while the destination's queue is full and return once the sequencer has taken
    // the event; false, with errorText() set, when it could not be delivered. The sequencer has no
    // flow control: a receiver whose queue overflowed loses what it held, whatever the sender
    // does, and that is logged. Only pacing keeps a slow receiver whole.

    const std::string &errorText() const { return error_; }
    // The destination went away (its client quit, or the port or our connection to it was
    // removed): the sends above failed for that reason, and nothing reaches it until it is opened
    // again. Events to subscribers go nowhere without a word from the kernel once the connection
    // is gone, so every send looks for it first.
    bool gone() const { return gone_; }

    // The "client:port" address RtMidi puts at the end of its ALSA port names.
    static bool parseAddress(const std::string &portName, int *client, int *port);

private:
    struct Seq;

    bool deliver(snd_seq_event &event);
    bool fail(const std::string &what, int code);

    std::unique_ptr<Seq> seq_;
    std::string error_;
    bool connected();

    bool stalled_ = false; // the last event gave up waiting: don't wait again until one goes
    bool gone_ = false;
    bool overflowed_ = false; // the destination's queue has been full since the open
};

} // namespace vkv::alsa
