#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace vkv::transfer {

// When each slice of a paced send goes out, by the send's own rule and without a port or a timer:
// the header slice at once, the header pause, then a slice on each tick of a tempo timer that
// makes its calls on time, at the tempo the speed gives. The slices are PacedSend's own, so
// anything that paces the dump elsewhere (a MIDI file a DAW plays, a figure of how long a send
// takes) paces it as "Send Sysex" does.
class PacedSchedule {
public:
    struct Slice {
        std::int64_t microseconds; // from the header slice
        int offset;                // where in the dump the slice begins
        int length;
    };

    // Every slice of a send at `speed` bytes a second (held within the send's bounds), in order:
    // they cover the dump once, from byte 0 to its end.
    static std::vector<Slice> of(int speed);
    // The DumpSize bytes at `dump` as a Standard MIDI File of these slices at their times, which a
    // DAW plays to the box as "Send Sysex" sends the dump at `speed`.
    static QByteArray midiFile(const std::uint8_t *dump, int speed);
};

} // namespace vkv::transfer
