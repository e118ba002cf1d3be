#pragma once

#include <cstddef>
#include <vector>

namespace vkv::midi {

// One thing for the input port to raise: a short message (three bytes: status, first and second
// data byte, missing data bytes as 0), one piece of a SysEx message, or word that the SysEx under
// way broke off (`broken`, no bytes): what of it was raised already is not a whole message.
struct MidiInEvent {
    bool sysEx = false;
    std::vector<unsigned char> bytes;
    bool broken = false;

    bool operator==(const MidiInEvent &) const = default;
};

// Cuts what the MIDI back end delivers into the input port's events, in arrival order:
// - SysEx is handed on in pieces of at most ChunkSize bytes; the first piece of a message begins
//   with F0, the last ends with F7. Whatever has arrived is handed on at the end of each delivery,
//   and a SysEx left open goes on with the data bytes of the next delivery.
// - A short message or a real-time byte inside a SysEx is one the back end glued into it (RtMidi
//   joins messages that arrive while a SysEx is still open): it is taken out as a message of its
//   own, the SysEx piece gathered so far goes first, and the SysEx goes on after it.
// - A SysEx that the next F0 cuts off before its end is broken: what of it lies in the same
//   delivery is dropped.
// - A delivery that leaves a SysEx open and ends in another message is a SysEx that broke off:
//   the back ends hand over an open SysEx only once its F7 has come, except when their input
//   queue overran and lost the rest (RtMidi on the ALSA sequencer then glues the next message onto
//   the remains). What of it lies in the delivery is dropped, and a `broken` event follows.
//   Real-time bytes are no such message: the ALSA sequencer hands a device's SysEx on in pieces,
//   and RtMidi delivers a clock or active-sensing byte that comes between two of them glued onto
//   the end of the first. A SysEx goes on after a real-time byte wherever it stands.
// - Every other status byte starts a short message as long as its status calls for; one cut short
//   by the next status byte or by the end of the delivery is handed on with zeros. Data bytes
//   after a whole channel message in the same delivery start another of the same status
//   (running status, which system messages other than real-time end); other data bytes belonging
//   to no message are dropped. Running status never spans deliveries: the back ends hand over
//   whole messages, and a delivery of bare data bytes is the remains of a SysEx that lost its
//   start, not notes.
class MidiInSplitter {
public:
    static constexpr std::size_t ChunkSize = 128;

    // Appends the events of one delivery to `out`.
    void split(const unsigned char *data, std::size_t size, std::vector<MidiInEvent> &out);
    // Forgets a SysEx left open, for a port that starts anew.
    void reset() { inSysEx_ = false; }
    bool inSysEx() const { return inSysEx_; }

private:
    bool inSysEx_ = false;
};

} // namespace vkv::midi
