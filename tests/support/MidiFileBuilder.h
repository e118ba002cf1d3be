#pragma once

// MIDI files as other programs write them, event by event, for the tests that read them.
#include <QByteArray>
#include <cstdint>
#include <vector>

inline QByteArray midiVariable(std::uint32_t value) {
    QByteArray out;
    out.prepend(static_cast<char>(value & 0x7F));
    while ((value >>= 7) != 0)
        out.prepend(static_cast<char>((value & 0x7F) | 0x80));
    return out;
}

inline QByteArray midiBigEndian(std::uint32_t value, int bytes) {
    QByteArray out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
    return out;
}

// A track, event by event.
struct MidiTrack {
    QByteArray bytes;
    MidiTrack &raw(std::uint32_t delta, const QByteArray &event) {
        bytes += midiVariable(delta) + event;
        return *this;
    }
    // An F0, F7 or meta event (`type` after FF) with its length.
    MidiTrack &sized(std::uint32_t delta, const QByteArray &status, const QByteArray &data) {
        return raw(delta, status + midiVariable(static_cast<std::uint32_t>(data.size())) + data);
    }
    MidiTrack &end() { return sized(0, QByteArray("\xFF\x2F", 2), {}); }
};

inline QByteArray midiFile(const std::vector<MidiTrack> &tracks, int format = 0) {
    QByteArray f =
        "MThd" + midiBigEndian(6, 4) + midiBigEndian(static_cast<std::uint32_t>(format), 2) +
        midiBigEndian(static_cast<std::uint32_t>(tracks.size()), 2) + midiBigEndian(96, 2);
    for (const MidiTrack &t : tracks)
        f += "MTrk" + midiBigEndian(static_cast<std::uint32_t>(t.bytes.size()), 4) + t.bytes;
    return f;
}
