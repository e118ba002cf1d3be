#pragma once

// The events of a MIDI file of one track that holds only SysEx and meta events, as the program
// writes them, read by the tests on their own to check the times and bytes the writer gave.
#include <QByteArray>
#include <cstdint>
#include <vector>

struct MidiFileEvent {
    std::int64_t tick;
    std::uint8_t status; // F0, F7 or FF
    QByteArray data;     // a meta event's type first
};

// The file's ticks a beat in `division`.
inline std::vector<MidiFileEvent> midiFileEvents(const QByteArray &f, int *division) {
    *division = static_cast<std::uint8_t>(f[12]) << 8 | static_cast<std::uint8_t>(f[13]);
    std::vector<MidiFileEvent> list;
    qsizetype at = 22; // the header chunk and the track's head
    const auto vlq = [&] {
        std::uint32_t v = 0;
        std::uint8_t b;
        do {
            b = static_cast<std::uint8_t>(f[at++]);
            v = v << 7 | (b & 0x7F);
        } while (b & 0x80);
        return v;
    };
    std::int64_t tick = 0;
    while (at < f.size()) {
        tick += vlq();
        const auto status = static_cast<std::uint8_t>(f[at++]);
        QByteArray type;
        if (status == 0xFF)
            type = f.mid(at++, 1);
        const std::uint32_t length = vlq();
        list.push_back({tick, status, type + f.mid(at, length)});
        at += length;
    }
    return list;
}
