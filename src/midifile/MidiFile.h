#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace vkv::midifile {

// A configuration dump in a Standard MIDI File, as a DAW keeps it in a song: written as the pieces
// a paced send puts on the wire, each at the time it goes, so that a DAW playing the file paces the
// dump as the program does; read back as every SysEx message the file holds, whoever wrote it.
//
// Writing: format 0, one track: a tempo of 120 beats a minute at 500 ticks a beat (a tick is a
// millisecond), then the first piece as an F0 event and every later one as an F7 event (a SysEx
// sent in parts, as the file format defines it), each at its own time, then the end of the track.
// The pieces and their times are the caller's: this class knows nothing of how a send slices.
//
// Reading: every track of any format, event by event (running status, meta events, chunks of other
// kinds passed over). A SysEx is an F0 event and the F7 events that continue it, up to the one that
// ends in F7; an F7 event of one real-time byte between them is a real-time message, which MIDI
// lets in anywhere, and is passed over. A channel message between the parts cuts the SysEx, as it
// would on the wire. Anything that goes wrong is said, never thrown: the SysEx messages read before
// it are kept.
class MidiFile {
public:
    static constexpr int TicksPerBeat = 500;
    static constexpr int MicrosecondsPerBeat = 500000;

    // One piece of a SysEx message and when it goes, from the start of the file.
    struct Piece {
        std::int64_t microseconds = 0;
        QByteArray bytes;
    };
    // The file of `pieces`, in their order; times earlier than the piece before go at its time.
    static QByteArray write(const std::vector<Piece> &pieces);

    struct Read {
        // Every whole SysEx message, F0 to F7, in the order they ended.
        std::vector<QByteArray> sysex;
        // SysEx messages that did not come whole, each with why ("track 1: a SysEx of 700 bytes
        // was cut by a channel message"), in the file's order.
        QStringList cut;
        // Why the file could not be read to its end ("it is no MIDI file", "track 2 ends in the
        // middle of an event"); "" when it was.
        QString error;
    };
    static Read read(QByteArrayView file);
};

} // namespace vkv::midifile
